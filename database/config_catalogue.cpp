#include "database/config_catalogue.h"

#include "database/object_ids.h"

namespace {

// A catalogue row over the first rows of an object of the catalogue.
constexpr ConfigCatalogueRow Entry(const char* name, const DbObject& object, uint16_t rows,
                                   uint32_t defaultValue) {
    return {name, object.id,   object.width, object.kind, rows, object.Row(rows - 1u),
            0,    defaultValue};
}
}  // namespace

// clang-format off
const ConfigCatalogueRow kConfigCatalogue[kConfigCatalogueRows] = {
    Entry("dmsSignHeight", dbo::dmsSignHeight, 1, 1524),
    Entry("dmsSignWidth", dbo::dmsSignWidth, 1, 1220),
    Entry("dmsHorizontalBorder", dbo::dmsHorizontalBorder, 1, 338),
    Entry("dmsVerticalBorder", dbo::dmsVerticalBorder, 1, 338),
    Entry("dmsSignAccess", dbo::dmsSignAccess, 1, 8),
    Entry("dmsSignType", dbo::dmsSignType, 1, 6),
    Entry("dmsBeaconType", dbo::dmsBeaconType, 1, 2),
    Entry("vmsSignHeightPixels", dbo::vmsSignHeightPixels, 1, 16),
    Entry("vmsSignWidthPixels", dbo::vmsSignWidthPixels, 1, 24),
    Entry("vmsCharacterHeightPixels", dbo::vmsCharacterHeightPixels, 1, 0),
    Entry("vmsCharacterWidthPixels", dbo::vmsCharacterWidthPixels, 1, 0),
    Entry("chapName[0]", dbo::chapName, 1, 0),
    Entry("chapSecret[0]", dbo::chapSecret, 1, 0),
    Entry("brenIllumBrightnessScaler", dbo::brenIllumBrightnessScaler, 1, 0),
    Entry("brenSignSerialNum", dbo::brenSignSerialNum, 1, 0),
    Entry("brenControllerSerialNum", dbo::brenControllerSerialNum, 1, 0),
    Entry("globalDaylightSaving", dbo::globalDaylightSaving, 1, 3),
    Entry("dstBeginMonth[0]", dbo::dstBeginMonth, 10, 14),
    Entry("controllerStandardTimeZone", dbo::controllerStandardTimeZone, 1, 0xFFFFABA0),
    Entry("dstBeginOccurrences[0]", dbo::dstBeginOccurrences, 10, 1),
    Entry("dstBeginDayOfWeek[0]", dbo::dstBeginDayOfWeek, 10, 1),
    Entry("dstBeginDayOfMonth[0]", dbo::dstBeginDayOfMonth, 10, 1),
    Entry("dstBeginSecondsToTransition[0]", dbo::dstBeginSecondsToTransition, 10, 0),
    Entry("dstEndMonth[0]", dbo::dstEndMonth, 10, 14),
    Entry("dstEndOccurrences[0]", dbo::dstEndOccurrences, 10, 1),
    Entry("dstEndDayOfWeek[0]", dbo::dstEndDayOfWeek, 10, 1),
    Entry("dstEndDayOfMonth[0]", dbo::dstEndDayOfMonth, 10, 1),
    Entry("dstEndSecondsToTransition[0]", dbo::dstEndSecondsToTransition, 10, 0),
    Entry("dstSecondsToAdjust[0]", dbo::dstSecondsToAdjust, 10, 0),
    Entry("brenLegibilityRatioThreshold", dbo::brenLegibilityRatioThreshold, 1, 0),
    Entry("fdotMaxNumPixelFailure", dbo::fdotMaxNumPixelFailure, 1, 0xFFFFFFFF),
    Entry("rs232PortInSpeed[0]", dbo::rs232PortInSpeed, 5, 9600),
    Entry("ifSpeed[0]", dbo::ifSpeed, 1, 0x5000000),
    Entry("brenShutOffTemp", dbo::brenShutOffTemp, 1, 85),
    Entry("brenCallbackNumber", dbo::brenCallbackNumber, 1, 0),
    Entry("brenCallbackMinTimeBetweenAttempts", dbo::brenCallbackMinTimeBetweenAttempts, 1, 5),
    Entry("brenCallbackMaxAttempts", dbo::brenCallbackMaxAttempts, 1, 5),
    Entry("brenLCDPassword", dbo::brenLCDPassword, 1, 0),
    Entry("brenModuleID", dbo::brenModuleID, 1, 0),
    Entry("brenCommConfigFlowControl[0]", dbo::brenCommConfigFlowControl, 5, 0),
    Entry("brenCommConfigProtocol[0]", dbo::brenCommConfigProtocol, 5, 2),
    Entry("brenCommConfigTraps[0]", dbo::brenCommConfigTraps, 5, 0),
    Entry("brenCommConfigInnerCharTimeout[0]", dbo::brenCommConfigInnerCharTimeout, 5, 0),
    Entry("brenCommConfigParameters[0]", dbo::brenCommConfigParameters, 5, 0),
    Entry("brenEnableRealTimePixelDiagnostics", dbo::brenEnableRealTimePixelDiagnostics, 1, 0),
    Entry("brenhdlcAddress", dbo::brenhdlcAddress, 1, 1),
    Entry("brenLCDAdminPassword", dbo::brenLCDAdminPassword, 1, 0),
    Entry("brenTrapsGeneric", dbo::brenTrapsGeneric, 1, 65),
    Entry("brenTrapsEnterpriseSpecific", dbo::brenTrapsEnterpriseSpecific, 1, 0),
    Entry("brenTrapsExpirationDuration", dbo::brenTrapsExpirationDuration, 1, 0),
    Entry("brenPeripheralID[0]", dbo::brenPeripheralID, 255, 0),
    Entry("brenPeripheralParameters[0]", dbo::brenPeripheralParameters, 255, 0),
    Entry("brenPeripheralAuxIOTableIndex[0]", dbo::brenPeripheralAuxIOTableIndex, 255, 0),
    Entry("brenTBSCBayHeightInModules", dbo::brenTBSCBayHeightInModules, 1, 0),
    Entry("brenTBSCBayWidthInModules", dbo::brenTBSCBayWidthInModules, 1, 0),
    Entry("brenModTimeout", dbo::brenModTimeout, 1, 10),
    Entry("brenLineLength[0]", dbo::brenLineLength, 9, 0),
    Entry("brenSpecialFeatureSet", dbo::brenSpecialFeatureSet, 1, 0),
    Entry("vmsHorizontalPitch", dbo::vmsHorizontalPitch, 1, 34),
    Entry("vmsVerticalPitch", dbo::vmsVerticalPitch, 1, 34),
    Entry("brenRemoteIPAddress", dbo::brenRemoteIPAddress, 1, 0),
    Entry("brenRemoteIPPort", dbo::brenRemoteIPPort, 1, 162),
    Entry("brenHostIPPort", dbo::brenHostIPPort, 1, 161),
    Entry("brenHostHttpPort", dbo::brenHostHttpPort, 1, 80),
    Entry("brenEthernetMode", dbo::brenEthernetMode, 1, 1),
    Entry("brenCANBaudRate", dbo::brenCANBaudRate, 1, 1),
    Entry("brenCANMaxLineLength", dbo::brenCANMaxLineLength, 1, 0),
    Entry("brenFeatureSet", dbo::brenFeatureSet, 1, 0),
    Entry("brenNTPIPAddress", dbo::brenNTPIPAddress, 1, 0),
    Entry("brenNTPPollTime", dbo::brenNTPPollTime, 1, 60),
};
// clang-format on

const ConfigCatalogueRow* FindConfigCatalogueRow(uint32_t id) {
    for (const ConfigCatalogueRow& row : kConfigCatalogue) {
        if (id >= row.firstId && id <= row.lastId) {
            return &row;
        }
    }
    return nullptr;
}
