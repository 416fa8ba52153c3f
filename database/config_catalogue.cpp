#include "database/config_catalogue.h"

namespace {
constexpr DbKind I = DbKind::kInteger;
constexpr DbKind S = DbKind::kString;
}  // namespace

// clang-format off
const ConfigCatalogueRow kConfigCatalogue[kConfigCatalogueRows] = {
    {"dmsSignHeight",                      48,    2, I, 1,   48,    0, 1524},
    {"dmsSignWidth",                       50,    2, I, 1,   50,    0, 1220},
    {"dmsHorizontalBorder",                52,    2, I, 1,   52,    0, 338},
    {"dmsVerticalBorder",                  54,    2, I, 1,   54,    0, 338},
    {"dmsSignAccess",                      56,    1, I, 1,   56,    0, 8},
    {"dmsSignType",                        57,    1, I, 1,   57,    0, 6},
    {"dmsBeaconType",                      58,    1, I, 1,   58,    0, 2},
    {"vmsSignHeightPixels",                62,    2, I, 1,   62,    0, 16},
    {"vmsSignWidthPixels",                 64,    2, I, 1,   64,    0, 24},
    {"vmsCharacterHeightPixels",           60,    1, I, 1,   60,    0, 0},
    {"vmsCharacterWidthPixels",            61,    1, I, 1,   61,    0, 0},
    {"chapName[0]",                        48784, 4, S, 1,   48784, 0, 0},
    {"chapSecret[0]",                      48788, 4, S, 1,   48788, 0, 0},
    {"brenIllumBrightnessScaler",          95620, 1, I, 1,   95620, 0, 0},
    {"brenSignSerialNum",                  95716, 4, I, 1,   95716, 0, 0},
    {"brenControllerSerialNum",            95712, 4, I, 1,   95712, 0, 0},
    {"globalDaylightSaving",               48844, 1, I, 1,   48844, 0, 3},
    {"dstBeginMonth[0]",                   48856, 1, I, 10,  48865, 0, 14},
    {"controllerStandardTimeZone",         48852, 4, I, 1,   48852, 0, 0xFFFFABA0},
    {"dstBeginOccurrences[0]",             48866, 1, I, 10,  48875, 0, 1},
    {"dstBeginDayOfWeek[0]",               48876, 1, I, 10,  48885, 0, 1},
    {"dstBeginDayOfMonth[0]",              48886, 1, I, 10,  48895, 0, 1},
    {"dstBeginSecondsToTransition[0]",     48896, 4, I, 10,  48932, 0, 0},
    {"dstEndMonth[0]",                     48936, 1, I, 10,  48945, 0, 14},
    {"dstEndOccurrences[0]",               48946, 1, I, 10,  48955, 0, 1},
    {"dstEndDayOfWeek[0]",                 48956, 1, I, 10,  48965, 0, 1},
    {"dstEndDayOfMonth[0]",                48966, 1, I, 10,  48975, 0, 1},
    {"dstEndSecondsToTransition[0]",       48976, 4, I, 10,  49012, 0, 0},
    {"dstSecondsToAdjust[0]",              49016, 2, I, 10,  49034, 0, 0},
    {"brenLegibilityRatioThreshold",       95644, 1, I, 1,   95644, 0, 0},
    {"fdotMaxNumPixelFailure",             98692, 4, I, 1,   98692, 0, 0xFFFFFFFF},
    {"rs232PortInSpeed[0]",                98652, 4, I, 5,   98668, 0, 9600},
    {"ifSpeed[0]",                         98628, 4, I, 1,   98628, 0, 0x5000000},
    {"brenShutOffTemp",                    95623, 1, I, 1,   95623, 0, 85},
    {"brenCallbackNumber",                 95748, 4, S, 1,   95748, 0, 0},
    {"brenCallbackMinTimeBetweenAttempts", 95752, 2, I, 1,   95752, 0, 5},
    {"brenCallbackMaxAttempts",            95754, 1, I, 1,   95754, 0, 5},
    {"brenLCDPassword",                    95756, 4, I, 1,   95756, 0, 0},
    {"brenModuleID",                       95630, 2, I, 1,   95630, 0, 0},
    {"brenCommConfigFlowControl[0]",       95780, 1, I, 5,   95784, 0, 0},
    {"brenCommConfigProtocol[0]",          95785, 1, I, 5,   95789, 0, 2},
    {"brenCommConfigTraps[0]",             95790, 1, I, 5,   95794, 0, 0},
    {"brenCommConfigInnerCharTimeout[0]",  95796, 2, I, 5,   95804, 0, 0},
    {"brenCommConfigParameters[0]",        95808, 4, S, 5,   95824, 0, 0},
    {"brenEnableRealTimePixelDiagnostics", 95632, 1, I, 1,   95632, 0, 0},
    {"brenhdlcAddress",                    95636, 4, I, 1,   95636, 0, 1},
    {"brenLCDAdminPassword",               95640, 4, I, 1,   95640, 0, 0},
    {"brenTrapsGeneric",                   98388, 1, I, 1,   98388, 0, 65},
    {"brenTrapsEnterpriseSpecific",        98392, 4, S, 1,   98392, 0, 0},
    {"brenTrapsExpirationDuration",        98396, 4, I, 1,   98396, 0, 0},
    {"brenPeripheralID[0]",                95836, 2, I, 255, 96344, 0, 0},
    {"brenPeripheralParameters[0]",        96348, 4, S, 255, 97364, 0, 0},
    {"brenPeripheralAuxIOTableIndex[0]",   97368, 4, S, 255, 98384, 0, 0},
    {"brenTBSCBayHeightInModules",         95720, 1, I, 1,   95720, 0, 0},
    {"brenTBSCBayWidthInModules",          95721, 1, I, 1,   95721, 0, 0},
    {"brenModTimeout",                     95646, 2, I, 1,   95646, 0, 10},
    {"brenLineLength[0]",                  95722, 1, I, 9,   95730, 0, 0},
    {"brenSpecialFeatureSet",              95656, 4, I, 1,   95656, 0, 0},
    {"vmsHorizontalPitch",                 66,    1, I, 1,   66,    0, 34},
    {"vmsVerticalPitch",                   67,    1, I, 1,   67,    0, 34},
    {"brenRemoteIPAddress",                95660, 4, I, 1,   95660, 0, 0},
    {"brenRemoteIPPort",                   95664, 2, I, 1,   95664, 0, 162},
    {"brenHostIPPort",                     95666, 2, I, 1,   95666, 0, 161},
    {"brenHostHttpPort",                   95668, 2, I, 1,   95668, 0, 80},
    {"brenEthernetMode",                   95670, 1, I, 1,   95670, 0, 1},
    {"brenCANBaudRate",                    95696, 1, I, 1,   95696, 0, 1},
    {"brenCANMaxLineLength",               95697, 1, I, 1,   95697, 0, 0},
    {"brenFeatureSet",                     95700, 4, I, 1,   95700, 0, 0},
    {"brenNTPIPAddress",                   95672, 4, I, 1,   95672, 0, 0},
    {"brenNTPPollTime",                    95680, 2, I, 1,   95680, 0, 60},
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
