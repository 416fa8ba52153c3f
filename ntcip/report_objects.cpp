#include "ntcip/report_objects.h"

#include "database/factory_defaults.h"
#include "database/global_database.h"
#include "ntcip/mib_answer.h"
#include "ntcip/mib_header.h"
#include "ntcip/snmp_set_staging.h"

namespace {

constexpr uint32_t kPowerSupplies = 100;
constexpr uint32_t kPowerTypeId = 3572;        // volatile, 1 byte per supply
constexpr uint32_t kPowerDescriptionId = 272;  // volatile string
constexpr uint32_t kPowerVoltageId = 2972;     // volatile, 2 bytes
constexpr uint32_t kPowerStatusId = 2672;      // volatile, 1 byte, 2 = OK
constexpr uint32_t kStringSlot = 4;

uintptr_t* AnswerOrigin(snmp_pdu* pdu, int index, uint32_t* value_length) {
    const uint32_t origin = g_DataBase.Get(dbo::activationOrigin);
    const uint32_t answer = origin == 5 ? 3u : origin == 7 ? 4u : 1u;
    return MibAnswerWord(pdu, index, answer, value_length);
}

// True when the class limits of classes 1..maxEventClasses, with `value` for
// class `c`, stay within maxEventLogSize.
bool LimitsFit(uint32_t c, uint32_t value) {
    uint32_t total = value;
    const uint32_t classes = EventClassCount();
    for (uint32_t k = 1; k <= classes; ++k) {
        if (k != c) {
            total += g_DataBase.Get(dbo::eventClassLimit, k - 1u);
        }
    }
    return total <= g_DataBase.Get(dbo::maxEventLogSize);
}

}  // namespace

uint32_t EventClassCount() {
    const uint32_t classes = g_DataBase.Get(dbo::maxEventClasses);
    return classes > kEventClasses ? kEventClasses : classes;
}

DMS_MIB_HANDLER(var_globalReport) {
    if (MibHeaderExact(row, name_arg, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    static const MibColumn kColumns[] = {{0, &dbo::maxEventLogConfigs, kMibColumnPlain},
                                         {4, &dbo::maxEventLogSize, kMibColumnPlain},
                                         {8, &dbo::maxEventClasses, kMibColumnPlain}};
    return MibServeColumn(kColumns, row, mode, pdu, index, 0, 0, value_length);
}

DMS_MIB_HANDLER(var_eventConfigEntry) {
    if (MibHeaderIndexed(row, name_arg, *name_length, mode, value_length, kEventConfigs) != 0) {
        return nullptr;
    }
    const uint32_t i = name_arg[*name_length - 1];
    static const MibColumn kColumns[] = {{0, nullptr, kMibColumnIndex},
                                         {4, &dbo::eventConfigClass, kMibColumnPlain},
                                         {8, &dbo::eventConfigMode, kMibColumnPlain},
                                         {12, &dbo::eventConfigCompareValue, kMibColumnPlain},
                                         {16, &dbo::eventConfigCompareValue2, kMibColumnPlain},
                                         {20, &dbo::eventConfigCompareOID, kMibColumnReport},
                                         {24, &dbo::eventConfigLogOID, kMibColumnReport},
                                         {28, &dbo::eventConfigAction, kMibColumnPlain}};
    return MibServeColumn(kColumns, row, mode, pdu, index, i - 1u, i, value_length);
}

DMS_MIB_HANDLER(var_eventLogEntry) {
    static const uint32_t kBounds[] = {kEventClasses, kEventLogEntries};
    if (MibHeaderIndexBounds(row, name_arg, *name_length, mode, value_length, kBounds, 2) != 0) {
        return nullptr;
    }
    const uint32_t c = name_arg[*name_length - 2];
    const uint32_t k = name_arg[*name_length - 1];
    if (row->key == 0 || row->key == 4) {
        return MibAnswerWord(pdu, index, row->key == 0 ? c : k, value_length);
    }
    static const MibColumn kColumns[] = {{8, &dbo::eventLogID, kMibColumnPlain},
                                         {12, &dbo::eventLogTime, kMibColumnPlain},
                                         {16, &dbo::eventLogValue, kMibColumnPlain}};
    const uint32_t slot = kEventLogEntries * (c - 1u) + (k - 1u);
    return MibServeColumn(kColumns, row, kMibGet, pdu, index, slot, 0, value_length);
}

DMS_MIB_HANDLER(var_eventClassEntry) {
    if (MibHeaderIndexed(row, name_arg, *name_length, mode, value_length, kEventClasses) != 0) {
        return nullptr;
    }
    const uint32_t c = name_arg[*name_length - 1];
    // A limit that would push the total past maxEventLogSize is refused in both
    // passes, so nothing else of the request is written either.
    if (row->key == 4 && mode == kMibSet && !LimitsFit(c, g_SnmpSetInt)) {
        return nullptr;
    }
    static const MibColumn kColumns[] = {{0, nullptr, kMibColumnIndex},
                                         {4, &dbo::eventClassLimit, kMibColumnPlain},
                                         {8, &dbo::eventClassClearTime, kMibColumnPlain},
                                         {12, &dbo::eventClassDescription, kMibColumnPlain},
                                         {16, &dbo::eventClassNumRowsInLog, kMibColumnPlain}};
    return MibServeColumn(kColumns, row, mode, pdu, index, c - 1u, c, value_length);
}

DMS_MIB_HANDLER(var_fdotDms) {
    if (MibHeaderExact(row, name_arg, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    if (row->key == 40) {
        return AnswerOrigin(pdu, index, value_length);
    }
    if (row->key == 8) {
        MibCheckStore(dbo::brenShutOffTemp, 0, mode, pdu, index);  // refused before any write
    }
    static const MibColumn kColumns[] = {{0, &dbo::fdotPowerFailureMap, kMibColumnPlain},
                                         {4, &dbo::dmsPowerNumRows, kMibColumnPlain},
                                         {8, &dbo::brenShutOffTemp, kMibColumnReport},
                                         {12, &dbo::fdotDmsMaxPollTime, kMibColumnPlain},
                                         {16, &dbo::fdotDmsMaxPollTimeEnable, kMibColumnPlain},
                                         {20, &dbo::fdotMaxNumPixelFailure, kMibColumnPlain},
                                         {24, &dbo::dmsShortPowerLossTime, kMibColumnPlain},
                                         {28, &dbo::dmsLongPowerRecoveryMessage, kMibColumnPlain},
                                         {32, &dbo::fdotLogFullLatch, kMibColumnPlain},
                                         {36, &dbo::fdotPanelTimeout, kMibColumnPlain}};
    return MibServeColumn(kColumns, row, mode, pdu, index, 0, 0, value_length);
}

DMS_MIB_HANDLER(var_fdotPowerEntry) {
    if (MibHeaderIndexed(row, name_arg, *name_length, mode, value_length, kPowerSupplies) != 0) {
        return nullptr;
    }
    const uint32_t i = name_arg[*name_length - 1];
    switch (row->key) {
        case 0:
            return MibAnswerWord(pdu, index, i, value_length);
        case 4: {
            const uint32_t type = g_DataBase.GetInt(kPowerTypeId + i - 1u, 1, DbImage::kVolatile);
            return MibAnswerWord(pdu, index, type == 6 ? 2u : type == 5 ? 4u : 1u, value_length);
        }
        case 8: {
            uint32_t length = 0;
            const char* text = g_DataBase.GetString(kPowerDescriptionId + 4u * (i - 1u),
                                                    kStringSlot, DbImage::kVolatile, &length);
            pdu->varbinds[index].handler_value = reinterpret_cast<uintptr_t>(text);
            *value_length = text == nullptr ? 0 : length;
            return &pdu->varbinds[index].handler_value;
        }
        case 12:
            return MibAnswerWord(
                pdu, index,
                g_DataBase.GetInt(kPowerVoltageId + 2u * (i - 1u), 2, DbImage::kVolatile),
                value_length);
        case 16: {
            const uint32_t status =
                g_DataBase.GetInt(kPowerStatusId + i - 1u, 1, DbImage::kVolatile);
            return MibAnswerWord(pdu, index, status == 2 ? 0u : 1u, value_length);
        }
        default:
            return nullptr;
    }
}

void fdot_factory_defaults(CDataBase& db, int mode) {
    db.Set(dbo::fdotDmsMaxPollTime, 0, 0);
    db.Set(dbo::fdotDmsMaxPollTimeEnable, 0, 0);
    if (mode != kDefaultsFactoryReset) {
        db.Set(dbo::fdotMaxNumPixelFailure, 0xFFFFFFFF, 0);
    }
    db.Set(dbo::fdotPanelTimeout, 3600, 0);
}

void fdot_volatile_defaults(CDataBase& db) {
    db.Set(dbo::fdotLogFullLatch, 0, 0);
}
