#include "ntcip/mib_handler_table.h"

#include <cstring>

#include "ntcip/bren_config.h"
#include "ntcip/bren_status.h"
#include "ntcip/bren_tables.h"
#include "ntcip/error_status_objects.h"
#include "ntcip/font_objects.h"
#include "ntcip/global_objects.h"
#include "ntcip/graphic_objects.h"
#include "ntcip/ledstar_objects.h"
#include "ntcip/message_table_objects.h"
#include "ntcip/mib2_groups.h"
#include "ntcip/mib2_tables.h"
#include "ntcip/multi_cfg_objects.h"
#include "ntcip/protocol_objects.h"
#include "ntcip/report_objects.h"
#include "ntcip/sign_config_objects.h"
#include "ntcip/sign_control_objects.h"
#include "ntcip/small_branches.h"
#include "ntcip/status_objects.h"

namespace {

struct HandlerEntry {
    const char* name;
    MibVarHandler handler;
};

// Handlers built so far: one line each. Rows naming any other handler get the stand-in.
const HandlerEntry kHandlers[] = {
    {"var_system", &var_system},
    {"var_snmp", &var_snmp},
    {"var_essNtcipLocation", &var_essNtcipLocation},
    {"var_panynj", &var_panynj},
    {"var_nvdot", &var_nvdot},
    {"var_ledstarConfig", &var_ledstarConfig},
    {"var_ledstarConfigEntry", &var_ledstarConfigEntry},
    {"var_ledstarExtra", &var_ledstarExtra},
    {"var_ledstarStatus", &var_ledstarStatus},
    {"var_ledstarStatusCube", &var_ledstarStatusCube},
    {"var_ledstarPowerEntry", &var_ledstarPowerEntry},
    {"var_ledstarTextGrid", &var_ledstarTextGrid},
    {"var_ledstarTextEntry", &var_ledstarTextEntry},
    {"var_ifNumber", &var_ifNumber},
    {"var_ifEntry", &var_ifEntry},
    {"var_atEntry", &var_atEntry},
    {"var_ip", &var_ip},
    {"var_ipAddrEntry", &var_ipAddrEntry},
    {"var_ipRouteEntry", &var_ipRouteEntry},
    {"var_ipNetToMediaEntry", &var_ipNetToMediaEntry},
    {"var_dot3StatsEntry", &var_dot3StatsEntry},
    {"var_dot3CollEntry", &var_dot3CollEntry},
    {"var_lapbAdmnEntry", &var_lapbAdmnEntry},
    {"var_lapbOperEntry", &var_lapbOperEntry},
    {"var_rs232", &var_rs232},
    {"var_rs232PortEntry", &var_rs232PortEntry},
    {"var_rs232AsyncPortEntry", &var_rs232AsyncPortEntry},
    {"var_globalConfiguration", &var_globalConfiguration},
    {"var_moduleTableEntry", &var_moduleTableEntry},
    {"var_globalDBManagement", &var_globalDBManagement},
    {"var_globalTimeManagement", &var_globalTimeManagement},
    {"var_timebase", &var_timebase},
    {"var_timeBaseScheduleEntry", &var_timeBaseScheduleEntry},
    {"var_timeBaseDayPlanEntry", &var_timeBaseDayPlanEntry},
    {"var_maxDaylightSavingEvents", &var_maxDaylightSavingEvents},
    {"var_dstEntry", &var_dstEntry},
    {"var_auxIOScalars", &var_auxIOScalars},
    {"var_auxIOEntry", &var_auxIOEntry},
    {"var_globalReport", &var_globalReport},
    {"var_eventConfigEntry", &var_eventConfigEntry},
    {"var_eventLogEntry", &var_eventLogEntry},
    {"var_eventClassEntry", &var_eventClassEntry},
    {"var_fdotDms", &var_fdotDms},
    {"var_fdotPowerEntry", &var_fdotPowerEntry},
    {"var_chap", &var_chap},
    {"var_chapSecretEntry", &var_chapSecretEntry},
    {"var_snmpConfiguration", &var_snmpConfiguration},
    {"var_pmppConfig", &var_pmppConfig},
    {"var_maxGroupAddresses", &var_maxGroupAddresses},
    {"var_groupAddressEntry", &var_groupAddressEntry},
    {"var_globalSecurity", &var_globalSecurity},
    {"var_communityNameEntry", &var_communityNameEntry},
    {"var_brenConfig", &var_brenConfig},
    {"var_brenDisplayTestMode", &var_brenDisplayTestMode},
    {"var_brenPixelFailureColorEntry", &var_brenPixelFailureColorEntry},
    {"var_brenPeripheralList", &var_brenPeripheralList},
    {"var_brenPeripheralEntry", &var_brenPeripheralEntry},
    {"var_brenTraps", &var_brenTraps},
    {"var_brenMessageList", &var_brenMessageList},
    {"var_brenMessageListEntry", &var_brenMessageListEntry},
    {"var_brenPorts", &var_brenPorts},
    {"var_brenPortEntry", &var_brenPortEntry},
    {"var_brenLitPixelLimit", &var_brenLitPixelLimit},
    {"var_brenLitPixelEntry", &var_brenLitPixelEntry},
    {"var_brenModuleLines", &var_brenModuleLines},
    {"var_brenLineLengthEntry", &var_brenLineLengthEntry},
    {"var_brenCallback", &var_brenCallback},
    {"var_brenFileTransfer", &var_brenFileTransfer},
    {"var_brenStatus", &var_brenStatus},
    {"var_brenSensorEntry", &var_brenSensorEntry},
    {"var_brenRemoteText", &var_brenRemoteText},
    {"var_brenInfo", &var_brenInfo},
    {"var_brenPixelTestResults", &var_brenPixelTestResults},
    {"var_brenPixelTestSlotEntry", &var_brenPixelTestSlotEntry},
    {"var_brenPixelTestChunkEntry", &var_brenPixelTestChunkEntry},
    {"var_brenPixelTestFaceEntry", &var_brenPixelTestFaceEntry},
    {"var_fontDefinition", &var_fontDefinition},
    {"var_fontEntry", &var_fontEntry},
    {"var_characterEntry", &var_characterEntry},
    {"var_multiCfg", &var_multiCfg},
    {"var_graphicDefinition", &var_graphicDefinition},
    {"var_dmsGraphicEntry", &var_dmsGraphicEntry},
    {"var_dmsGraphicBitmapEntry", &var_dmsGraphicBitmapEntry},
    {"var_illum", &var_illum},
    {"var_dmsStatus", &var_dmsStatus},
    {"var_statMultiFieldEntry", &var_statMultiFieldEntry},
    {"var_statPower", &var_statPower},
    {"var_statTemp", &var_statTemp},
    {"var_statError", &var_statError},
    {"var_pixelFailureEntry", &var_pixelFailureEntry},
    {"var_dmsPowerStatusEntry", &var_dmsPowerStatusEntry},
    {"var_dmsClimateCtrlStatusEntry", &var_dmsClimateCtrlStatusEntry},
    {"var_dmsSignCfg", &var_dmsSignCfg},
    {"var_vmsCfg", &var_vmsCfg},
    {"var_dmsMessage", &var_dmsMessage},
    {"var_dmsMessageEntry", &var_dmsMessageEntry},
    {"var_signControl", &var_signControl},
    {"var_dmsSchedule", &var_dmsSchedule},
    {"var_dmsActionEntry", &var_dmsActionEntry},
};

}  // namespace

uintptr_t* var_stand_in_no_such_object(MibVariable*, uint32_t*, uint32_t*, int, uint32_t*,
                                       snmp_pdu*, int) {
    return nullptr;
}

MibVarHandler MibFindHandler(const char* name) {
    for (const HandlerEntry& entry : kHandlers) {
        if (name != nullptr && std::strcmp(entry.name, name) == 0) {
            return entry.handler;
        }
    }
    return &var_stand_in_no_such_object;
}
