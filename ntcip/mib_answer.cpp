#include "ntcip/mib_answer.h"

#include "database/global_database.h"
#include "ntcip/mib_engine.h"
#include "ntcip/snmp_set_staging.h"

uintptr_t* MibAnswerWord(snmp_pdu* pdu, int index, uint32_t value, uint32_t* value_length) {
    snmp_object& varbind = pdu->varbinds[index];
    varbind.handler_value = value;
    *value_length = 4;
    return &varbind.handler_value;
}

uintptr_t* MibAnswerText(snmp_pdu* pdu, int index, const DbObject& object, uint32_t row,
                         uint32_t* value_length) {
    uint32_t length = 0;
    const char* text = g_DataBase.GetText(object, &length, row);
    snmp_object& varbind = pdu->varbinds[index];
    varbind.handler_value = reinterpret_cast<uintptr_t>(text);
    *value_length = text == nullptr ? 0 : length;
    return &varbind.handler_value;
}

bool MibCommitting(int mode) {
    return mode == kMibSet && g_SnmpSetCommit == 1;
}

DbResult MibStore(const DbObject& object, uint32_t row, uint32_t flags) {
    if (object.IsString()) {
        return g_DataBase.SetText(object, g_SnmpSetBuffer, g_SnmpSetLength, flags, row);
    }
    return g_DataBase.Set(object, g_SnmpSetInt, flags, row);
}

void MibReportStore(snmp_pdu* pdu, int index, DbResult result) {
    if (result != kDbOk && pdu->request.error_status == kSnmpNoError) {
        pdu->request.error_status = static_cast<uint32_t>(result);
        pdu->request.error_index = static_cast<uint32_t>(index + 1);
    }
}

void MibCheckStore(const DbObject& object, uint32_t row, int mode, snmp_pdu* pdu, int index) {
    if (mode == kMibSet && !MibCommitting(mode)) {
        MibReportStore(pdu, index, g_DataBase.Check(object, g_SnmpSetInt, row));
    }
}

bool MibRefuseWrongSyntax(const MibVariable* row, int mode, snmp_pdu* pdu, int index) {
    if (mode != kMibSet || CheckSetType(pdu->varbinds[index].syntax, row->type)) {
        return false;
    }
    MibReportStore(pdu, index, kDbBadValue);
    return true;
}

uintptr_t* MibServeColumn(const MibColumn* columns, size_t count, const MibVariable* row, int mode,
                          snmp_pdu* pdu, int index, uint32_t db_row, uint32_t index_value,
                          uint32_t* value_length) {
    for (size_t c = 0; c < count; ++c) {
        const MibColumn& column = columns[c];
        if (column.key != row->key) {
            continue;
        }
        if ((column.flags & kMibColumnIndex) != 0 || column.object == nullptr) {
            return MibAnswerWord(pdu, index, index_value, value_length);
        }
        const DbObject& object = *column.object;
        if (MibCommitting(mode)) {
            const DbResult result = MibStore(object, db_row);
            if ((column.flags & kMibColumnReport) != 0) {
                MibReportStore(pdu, index, result);
            }
        }
        if (object.IsString()) {
            return MibAnswerText(pdu, index, object, db_row, value_length);
        }
        return MibAnswerWord(pdu, index, g_DataBase.Get(object, db_row), value_length);
    }
    return nullptr;
}

namespace {

constexpr uint32_t kStringSlot = 4;

}  // namespace

uintptr_t* MibAnswerText(snmp_pdu* pdu, int index, const char* text, uint32_t length,
                         uint32_t* value_length) {
    snmp_object& varbind = pdu->varbinds[index];
    varbind.handler_value = reinterpret_cast<uintptr_t>(text);
    *value_length = length;
    return &varbind.handler_value;
}

uintptr_t* MibServeInt(int mode, snmp_pdu* pdu, int index, uint32_t id, uint32_t width,
                       DbImage image, uint32_t* value_length) {
    if (MibCommitting(mode)) {
        g_DataBase.SetInt(id, width, g_SnmpSetInt, image, kDbNotify);
    }
    return MibAnswerWord(pdu, index, g_DataBase.GetInt(id, width, image), value_length);
}

uintptr_t* MibServeString(int mode, snmp_pdu* pdu, int index, uint32_t id, DbImage image,
                          uint32_t* value_length) {
    if (MibCommitting(mode)) {
        g_DataBase.SetString(id, kStringSlot, g_SnmpSetBuffer, g_SnmpSetLength, image, kDbNotify);
    }
    uint32_t length = 0;
    const char* text = g_DataBase.GetString(id, kStringSlot, image, &length);
    return MibAnswerText(pdu, index, text, length, value_length);
}

uint32_t MibInstance(const MibVariable* row, const uint32_t* name) {
    return name[row->name_length - 1u];
}

uintptr_t* MibServeObject(const DbObject& object, uint32_t row, int mode, snmp_pdu* pdu, int index,
                          uint32_t* value_length) {
    if (object.IsString()) {
        return MibServeString(mode, pdu, index, object.Row(row), object.image, value_length);
    }
    return MibServeInt(mode, pdu, index, object.Row(row), object.width, object.image, value_length);
}
