#include "ntcip/global_objects.h"

#include "database/global_database.h"
#include "ntcip/mib_answer.h"
#include "ntcip/mib_header.h"
#include "ntcip/snmp_set_staging.h"

namespace {

constexpr uint32_t kModules = 8;
constexpr uint32_t kScheduleEntries = 29;
constexpr uint32_t kDayPlans = 20;
constexpr uint32_t kDayPlanEvents = 24;
constexpr uint32_t kDstEntries = 10;
constexpr uint32_t kPortTypes = 3;
constexpr uint32_t kAnalogType = 2;
constexpr uint32_t kDigitalPorts = 112;
constexpr uint32_t kAnalogPorts = 24;
constexpr uint32_t kGlobalTimeFlags = kDbNotify | kDbIgnoredFlag;

void (*g_savedGlobalTimeHook)(uint32_t) = nullptr;

uint32_t LastIndex(const uint32_t* name, uint32_t name_length) {
    return name[name_length - 1];
}

// One-index table: header check, then the column at row index - 1.
template <size_t N>
uintptr_t* ServeIndexed(const MibColumn (&columns)[N], MibVariable* row, uint32_t* name,
                        uint32_t* name_length, int mode, uint32_t* value_length, snmp_pdu* pdu,
                        int index, uint32_t limit) {
    if (MibHeaderIndexed(row, name, *name_length, mode, value_length, limit) != 0) {
        return nullptr;
    }
    const uint32_t i = LastIndex(name, *name_length);
    return MibServeColumn(columns, row, mode, pdu, index, i - 1u, i, value_length);
}

template <size_t N>
uintptr_t* ServeScalar(const MibColumn (&columns)[N], MibVariable* row, uint32_t* name,
                       uint32_t* name_length, int mode, uint32_t* value_length, snmp_pdu* pdu,
                       int index) {
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    return MibServeColumn(columns, row, mode, pdu, index, 0, 0, value_length);
}

uintptr_t* AnswerGlobalTime(int mode, snmp_pdu* pdu, int index, uint32_t* value_length) {
    const DbObject& t = dbo::globalTime;
    if (MibCommitting(mode)) {
        g_DataBase.SetRegisterTime(t.id, t.width, g_SnmpSetInt, t.image, kGlobalTimeFlags);
    }
    const uint32_t now = g_DataBase.GetRegisterTime(t.id, t.width, t.image);
    if (g_savedGlobalTimeHook != nullptr) {
        g_savedGlobalTimeHook(now);
    }
    return MibAnswerWord(pdu, index, now, value_length);
}

uint32_t GlobalTime() {
    const DbObject& t = dbo::globalTime;
    return g_DataBase.GetRegisterTime(t.id, t.width, t.image);
}

// The differential and the zone both move the local time to globalTime + value.
void StoreOffset(const DbObject& object) {
    g_DataBase.Set(object, g_SnmpSetInt, kDbNotify);
    g_DataBase.Set(dbo::controllerLocalTime, GlobalTime() + g_SnmpSetInt, kDbNotify);
}

}  // namespace

void ntcip_set_saved_global_time_hook(void (*hook)(uint32_t seconds)) {
    g_savedGlobalTimeHook = hook;
}

DMS_MIB_HANDLER(var_globalConfiguration) {
    static const MibColumn kColumns[] = {{0, &dbo::globalSetIDParameter, kMibColumnPlain},
                                         {4, &dbo::globalMaxModules, kMibColumnPlain}};
    return ServeScalar(kColumns, row, name_arg, name_length, mode, value_length, pdu, index);
}

DMS_MIB_HANDLER(var_moduleTableEntry) {
    static const MibColumn kColumns[] = {{0, nullptr, kMibColumnIndex},
                                         {4, &dbo::moduleDeviceNode, kMibColumnPlain},
                                         {8, &dbo::moduleMake, kMibColumnPlain},
                                         {12, &dbo::moduleModel, kMibColumnPlain},
                                         {16, &dbo::moduleVersion, kMibColumnPlain},
                                         {20, &dbo::moduleType, kMibColumnPlain}};
    return ServeIndexed(kColumns, row, name_arg, name_length, mode, value_length, pdu, index,
                        kModules);
}

DMS_MIB_HANDLER(var_globalDBManagement) {
    static const MibColumn kColumns[] = {{0, &dbo::dbCreateTransaction, kMibColumnPlain},
                                         {4, &dbo::dbErrorType, kMibColumnPlain},
                                         {8, &dbo::dbErrorID, kMibColumnPlain},
                                         {12, &dbo::dbTransactionID, kMibColumnPlain},
                                         {16, &dbo::dbMakeID, kMibColumnPlain},
                                         {20, &dbo::dbVerifyStatus, kMibColumnPlain},
                                         {24, &dbo::dbVerifyError, kMibColumnPlain}};
    return ServeScalar(kColumns, row, name_arg, name_length, mode, value_length, pdu, index);
}

DMS_MIB_HANDLER(var_globalTimeManagement) {
    if (MibHeaderExact(row, name_arg, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    const bool commit = MibCommitting(mode);
    switch (row->key) {
        case 0:
            return AnswerGlobalTime(mode, pdu, index, value_length);
        case 4:
            if (commit) {
                MibReportStore(pdu, index, MibStore(dbo::globalDaylightSaving, 0));
            }
            return MibAnswerWord(pdu, index, g_DataBase.Get(dbo::globalDaylightSaving),
                                 value_length);
        case 8:
            if (commit) {
                StoreOffset(dbo::globalLocalTimeDifferential);
            }
            return MibAnswerWord(
                pdu, index, g_DataBase.Get(dbo::controllerLocalTime) - GlobalTime(), value_length);
        case 12:
            if (commit) {
                StoreOffset(dbo::controllerStandardTimeZone);
            }
            return MibAnswerWord(pdu, index, g_DataBase.Get(dbo::controllerStandardTimeZone),
                                 value_length);
        case 16:
            return MibAnswerWord(pdu, index, g_DataBase.Get(dbo::controllerLocalTime),
                                 value_length);
        default:
            return nullptr;
    }
}

DMS_MIB_HANDLER(var_timebase) {
    static const MibColumn kColumns[] = {{0, &dbo::maxTimeBaseScheduleEntries, kMibColumnPlain},
                                         {4, &dbo::maxDayPlans, kMibColumnPlain},
                                         {8, &dbo::maxDayPlanEvents, kMibColumnPlain},
                                         {12, &dbo::dayPlanStatus, kMibColumnPlain}};
    return ServeScalar(kColumns, row, name_arg, name_length, mode, value_length, pdu, index);
}

DMS_MIB_HANDLER(var_timeBaseScheduleEntry) {
    static const MibColumn kColumns[] = {{0, nullptr, kMibColumnIndex},
                                         {4, &dbo::timeBaseScheduleMonth, kMibColumnPlain},
                                         {8, &dbo::timeBaseScheduleDay, kMibColumnPlain},
                                         {12, &dbo::timeBaseScheduleDate, kMibColumnPlain},
                                         {16, &dbo::timeBaseScheduleDayPlan, kMibColumnPlain}};
    return ServeIndexed(kColumns, row, name_arg, name_length, mode, value_length, pdu, index,
                        kScheduleEntries);
}

DMS_MIB_HANDLER(var_timeBaseDayPlanEntry) {
    static const uint32_t kBounds[] = {kDayPlans, kDayPlanEvents};
    if (MibHeaderIndexBounds(row, name_arg, *name_length, mode, value_length, kBounds, 2) != 0) {
        return nullptr;
    }
    const uint32_t p = name_arg[*name_length - 2];
    const uint32_t e = name_arg[*name_length - 1];
    const uint32_t slot = kDayPlanEvents * (p - 1u) + (e - 1u);
    if (row->key == 0 || row->key == 4) {
        return MibAnswerWord(pdu, index, row->key == 0 ? p : e, value_length);
    }
    static const MibColumn kColumns[] = {{8, &dbo::dayPlanHour, kMibColumnPlain},
                                         {12, &dbo::dayPlanMinute, kMibColumnPlain},
                                         {16, &dbo::dayPlanActionNumberOID, kMibColumnPlain}};
    return MibServeColumn(kColumns, row, mode, pdu, index, slot, 0, value_length);
}

DMS_MIB_HANDLER(var_maxDaylightSavingEvents) {
    static const MibColumn kColumns[] = {{0, &dbo::maxDaylightSavingEvents, kMibColumnPlain}};
    return ServeScalar(kColumns, row, name_arg, name_length, mode, value_length, pdu, index);
}

DMS_MIB_HANDLER(var_dstEntry) {
    static const MibColumn kColumns[] = {{0, nullptr, kMibColumnIndex},
                                         {4, &dbo::dstBeginMonth, kMibColumnReport},
                                         {8, &dbo::dstBeginOccurrences, kMibColumnPlain},
                                         {12, &dbo::dstBeginDayOfWeek, kMibColumnPlain},
                                         {16, &dbo::dstBeginDayOfMonth, kMibColumnPlain},
                                         {20, &dbo::dstBeginSecondsToTransition, kMibColumnPlain},
                                         {24, &dbo::dstEndMonth, kMibColumnPlain},
                                         {28, &dbo::dstEndOccurrences, kMibColumnPlain},
                                         {32, &dbo::dstEndDayOfWeek, kMibColumnPlain},
                                         {36, &dbo::dstEndDayOfMonth, kMibColumnPlain},
                                         {40, &dbo::dstEndSecondsToTransition, kMibColumnPlain},
                                         {44, &dbo::dstSecondsToAdjust, kMibColumnPlain}};
    return ServeIndexed(kColumns, row, name_arg, name_length, mode, value_length, pdu, index,
                        kDstEntries);
}

DMS_MIB_HANDLER(var_auxIOScalars) {
    static const MibColumn kColumns[] = {{0, &dbo::auxIONumDigitalPorts, kMibColumnPlain},
                                         {4, &dbo::auxIONumAnalogPorts, kMibColumnPlain}};
    return ServeScalar(kColumns, row, name_arg, name_length, mode, value_length, pdu, index);
}

DMS_MIB_HANDLER(var_auxIOEntry) {
    const uint32_t length = *name_length;
    const uint32_t type = length >= 2 ? name_arg[length - 2] : 0;
    const uint32_t bounds[] = {kPortTypes, type == kAnalogType ? kAnalogPorts : kDigitalPorts};
    if (MibHeaderIndexBounds(row, name_arg, length, mode, value_length, bounds, 2) != 0) {
        return nullptr;
    }
    const uint32_t n = name_arg[length - 1];
    const uint32_t slot = (type == kAnalogType ? kDigitalPorts : 0u) + (n - 1u);
    if (row->key == 16 && MibCommitting(mode)) {
        // A commanded value is also the port's last commanded state.
        g_DataBase.Set(dbo::auxIOPortLastCommandedState, g_SnmpSetInt, kDbNotify, slot);
    }
    static const MibColumn kColumns[] = {{0, &dbo::auxIOPortTypeCode, kMibColumnPlain},
                                         {4, &dbo::auxIOPortNumber, kMibColumnPlain},
                                         {8, &dbo::auxIOPortDescription, kMibColumnPlain},
                                         {12, &dbo::auxIOPortResolution, kMibColumnPlain},
                                         {16, &dbo::auxIOPortValue, kMibColumnPlain},
                                         {20, &dbo::auxIOPortDirection, kMibColumnPlain},
                                         {24, &dbo::auxIOPortLastCommandedState, kMibColumnPlain}};
    return MibServeColumn(kColumns, row, mode, pdu, index, slot, 0, value_length);
}
