#include "ntcip/sign_control_objects.h"

#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/mib_answer.h"
#include "ntcip/mib_keyed_objects.h"
#include "ntcip/snmp_set_staging.h"
#include "render/msg_activation_code.h"
#include "runtime/letter_id.h"
#include "runtime/post_office.h"

uint8_t g_NetworkSettingsChanged = 0;

namespace {

constexpr uint32_t kActionRows = 255;

enum Key : uint8_t {
    kControlModeKey = 0,
    kSwResetKey = 4,
    kActivateKey = 8,
    kMemoryMgmtKey = 60,
};

// Plain mappings; a refused store is answered without error, with the value kept.
const MibKeyedObject kSignControl[] = {
    {12, &dbo::dmsMessageTimeRemaining},
    {16, &dbo::dmsMsgTableSource},
    {20, &dbo::dmsMsgRequesterID},
    {24, &dbo::dmsMsgSourceMode},
    {28, &dbo::dmsShortPowerRecoveryMessage},
    {32, &dbo::dmsLongPowerRecoveryMessage},
    {36, &dbo::dmsShortPowerLossTime},
    {40, &dbo::dmsResetMessage},
    {44, &dbo::dmsCommunicationsLossMessage},
    {48, &dbo::dmsTimeCommLoss},
    {52, &dbo::dmsPowerLossMessage},
    {56, &dbo::dmsEndDurationMessage},
    {64, &dbo::dmsActivateMsgError},
    {68, &dbo::dmsMultiSyntaxError},
    {72, &dbo::dmsMultiSyntaxErrorPosition},
    {76, &dbo::dmsMultiOtherErrorDescription},
    {80, &dbo::vmsPixelServiceDuration},
    {84, &dbo::vmsPixelServiceFrequency},
    {88, &dbo::vmsPixelServiceTime},
};

const MibKeyedObject kActionEntry[] = {
    {0, nullptr},
    {4, &dbo::dmsActionMsgCode},
};

SignControlServices g_services;

// The activation code answered: request processing runs the activation (which reads many
// strings) between this answer and its conversion, so it is kept here rather than in the
// database's short-lived copies.
uint8_t g_activateAnswer[CMsgActivationCode::kSize];

uintptr_t* ServeActivateMessage(int mode, snmp_pdu* pdu, int index, uint32_t* value_length) {
    const DbObject* answered = &dbo::storedActivateMessage;
    if (MibCommitting(mode)) {
        g_DataBase.SetText(dbo::dmsActivateMessage, g_SnmpSetBuffer, g_SnmpSetLength, 0);
        answered = &dbo::dmsActivateMessage;
    }
    const uint32_t length = g_DataBase.ReadString(answered->id, answered->image, g_activateAnswer,
                                                  sizeof g_activateAnswer);
    const uint32_t kept = length < sizeof g_activateAnswer ? length : sizeof g_activateAnswer;
    return MibAnswerText(pdu, index, reinterpret_cast<const char*>(g_activateAnswer), kept,
                         value_length);
}

uintptr_t* ServeSwReset(int mode, snmp_pdu* pdu, int index, uint32_t* value_length) {
    if (MibCommitting(mode)) {
        if (g_NetworkSettingsChanged != 0) {
            g_PostOffice.PostLetter(kLetterNetworkSettingsChanged);
        }
        MibStore(dbo::dmsSWReset, 0);
    }
    return MibAnswerWord(pdu, index, g_DataBase.Get(dbo::dmsSWReset), value_length);
}

uintptr_t* ServeMemoryMgmt(int mode, snmp_pdu* pdu, int index, uint32_t* value_length) {
    if (MibCommitting(mode)) {
        MibStore(dbo::dmsMemoryMgmt, 0);
    }
    uintptr_t* answer = MibAnswerWord(pdu, index, g_DataBase.Get(dbo::dmsMemoryMgmt), value_length);
    // Every access runs the step, which acts on the stored request and then stores normal.
    if (g_services.clear_memory != nullptr) {
        g_services.clear_memory();
    }
    return answer;
}

}  // namespace

void sign_control_set_services(const SignControlServices& services) {
    g_services = services;
}

uintptr_t* var_signControl(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                           uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    switch (row->key) {
        case kControlModeKey:
            if (MibCommitting(mode)) {
                MibReportStore(pdu, index, MibStore(dbo::dmsControlMode, 0));
            }
            return MibAnswerWord(pdu, index, g_DataBase.Get(dbo::dmsControlMode), value_length);
        case kSwResetKey:
            return ServeSwReset(mode, pdu, index, value_length);
        case kActivateKey:
            return ServeActivateMessage(mode, pdu, index, value_length);
        case kMemoryMgmtKey:
            return ServeMemoryMgmt(mode, pdu, index, value_length);
        default:
            break;
    }
    const MibKeyedObject* entry = MibFindKey(kSignControl, row->key);
    if (entry == nullptr) {
        pdu->varbinds[index].handler_value = 0;
        return nullptr;
    }
    return MibServeObject(*entry->object, 0, mode, pdu, index, value_length);
}

uintptr_t* var_dmsSchedule(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                           uint32_t* value_length, snmp_pdu* pdu, int index) {
    static const MibKeyedObject kSchedule[] = {{0, &dbo::numActionTableEntries}};
    return MibServeKeyedScalar(kSchedule, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_dmsActionEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                              uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedColumn(kActionEntry, kActionRows, row, name, name_length, mode,
                               value_length, pdu, index);
}
