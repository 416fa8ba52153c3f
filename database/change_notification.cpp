#include "database/change_notification.h"

#include "database/config_catalogue.h"
#include "runtime/letter_id.h"

// Searched in this order; the first matching row wins.
const NotifyRow kNvLetterRows[29] = {
    {94116, 94116, kLetterEventLogClearClassFirst, 1},  // event class 1 clear time
    {94120, 94120, kLetterEventLogClearClassFirst + 1, 1},
    {94124, 94124, kLetterEventLogClearClassFirst + 2, 1},
    {94128, 94128, kLetterEventLogClearClassFirst + 3, 1},
    {94132, 94132, kLetterEventLogClearClassFirst + 4, 1},
    {94136, 94136, kLetterEventLogClearClassFirst + 5, 1},
    {94140, 94140, kLetterEventLogClearClassFirst + 6, 1},
    {94144, 94144, kLetterEventLogClearClassFirst + 7, 1},
    {94148, 94148, kLetterEventLogClearClassFirst + 8, 1},
    {94152, 94152, kLetterEventLogClearClassFirst + 9, 1},
    {94156, 94156, kLetterEventLogClearClassFirst + 10, 1},
    {94160, 94160, kLetterEventLogClearClassFirst + 11, 1},
    {94164, 94164, kLetterEventLogClearClassFirst + 12, 1},
    {94168, 94168, kLetterEventLogClearClassFirst + 13, 1},
    {94172, 94172, kLetterEventLogClearClassFirst + 14, 1},
    {94176, 94176, kLetterEventLogClearClassFirst + 15, 1},  // event class 16 clear time
    {94100, 94115, kLetterEventLogLimitsChanged, 2},         // the sixteen event class limits
    {34284, 34284, kLetterBrightnessTableChanged, 2},        // dmsIllumBrightnessValues
    {95628, 95628, kLetterMessageStoreSplit, 2},             // messageStoreSplit
    {95632, 95632, kLetterPixelDiagnosticsEnable, 2},        // brenEnableRealTimePixelDiagnostics
    {95623, 95623, kLetterShutOffTempChanged, 2},            // brenShutOffTemp
    {48848, 48848, kLetterClockOffsetChanged, 1},            // globalLocalTimeDifferential
    {48852, 48852, kLetterTimeZoneChanged, 1},               // controllerStandardTimeZone
    {57, 57, kLetterFontsChanged, 2},                        // dmsSignType
    {95833, 95833, kLetterCommSetting95833, 2},              // brenCommCommand
    {98652, 98668, kLetterPortSettingsChanged, 2},           // rs232PortInSpeed
    {95796, 95804, kLetterPortSettingsChanged, 2},           // brenCommConfigInnerCharTimeout
    {95700, 95700, kLetterFeatureSetChanged, 2},             // brenFeatureSet
    {95656, 95656, kLetterSpecialFeatureSetChanged, 2},      // brenSpecialFeatureSet
};

const NotifyRow kNvFlagRows[14] = {
    {48840, 48840, 0x1, 2},         // globalTime
    {95630, 95632, 0x40000000, 2},  // brenModuleID, brenEnableRealTimePixelDiagnostics
    {56, 56, 0x40000000, 2},        // dmsSignAccess
    {62, 64, 0x40000000, 2},        // vmsSignHeightPixels, vmsSignWidthPixels
    {36124, 36173, 0x400, 2},       // dmsGraphicStatus
    {33592, 34191, 0x800, 2},       // dmsMessageStatus
    {95660, 95664, 0x80000, 2},     // brenRemoteIPAddress, brenRemoteIPPort
    {95656, 95656, 0x100000, 2},    // brenSpecialFeatureSet
    {95616, 95616, 0x800000, 2},    // displayTestMode
    {34260, 34260, 0x8000, 2},      // dmsTimeCommLoss
    {34280, 34288, 0x20000, 2},     // dmsIllumControl .. dmsIllumBrightnessValuesError
    {95620, 95620, 0x20000, 2},     // brenIllumBrightnessScaler
    {95722, 95730, 0x40000000, 2},  // brenLineLength
    {95636, 95636, 0x20000000, 2},  // brenhdlcAddress
};

const NotifyRow kVolatileLetterRows[4] = {
    {223, 223, kLetterLampTestActivation, 2},       // lampTestActivation
    {17024, 17048, kLetterActivationRequest, 1},    // requestCode of the activation request slots
    {24440, 24440, kLetterMacAddressChanged, 2},    // ifPhysAddress
    {17157, 17157, kLetterPixelPowerLimitMode, 2},  // pixelPowerLimitMode
};

const NotifyRow kVolatileFlagRows[9] = {
    {128, 128, 0x4000, 1},         // dmsActivateMessage
    {132, 132, 0x1000, 2},         // dmsControlMode
    {222, 222, 0x200000, 2},       // pixelTestActivation
    {17160, 17160, 0x8000000, 2},  // brenFileTransferStatus
    {17016, 17016, 0x200, 2},      // brenResetCommand
    {133, 133, 0x200, 2},          // dmsMemoryMgmt
    {142, 142, 0x20000, 1},        // dmsIllumPhotocellLevelStatus
    {80, 83, 0x800, 2},            // dmsMessageStatus of the volatile rows
    {17218, 17218, 0x1000000, 2},  // brenPeripheralListEdit
};

int MatchNotifyRow(uint32_t id, uint32_t kind, std::span<const NotifyRow> table, uint32_t* index) {
    // Ids above the i32 range never match (no row reaches that far).
    if (id > 0x7FFFFFFFu) {
        return 0;
    }
    const auto signedId = static_cast<int32_t>(id);
    for (uint32_t i = 0; i < table.size(); ++i) {
        const NotifyRow& row = table[i];
        if (signedId < row.first || signedId > row.last) {
            continue;
        }
        if (row.kind == 1 || (row.kind == 2 && kind == kNoticeChanged)) {
            if (index != nullptr) {
                *index = i;
            }
            return 1;
        }
    }
    return 0;
}

void PostChangeNotices(uint32_t id, DbImage image, uint32_t kind, DbNotifySink& sink) {
    if (image == DbImage::kNone) {
        return;
    }
    const bool isVolatile = image == DbImage::kVolatile;
    const std::span<const NotifyRow> letters =
        isVolatile ? std::span<const NotifyRow>(kVolatileLetterRows) : kNvLetterRows;
    const std::span<const NotifyRow> flags =
        isVolatile ? std::span<const NotifyRow>(kVolatileFlagRows) : kNvFlagRows;
    uint32_t index = 0;
    if (MatchNotifyRow(id, kind, letters, &index)) {
        sink.PostLetter(letters[index].payload);
    }
    if (MatchNotifyRow(id, kind, flags, &index)) {
        sink.SetEventFlags(flags[index].payload);
    }
    if (!isVolatile && kind == kNoticeChanged && FindConfigCatalogueRow(id) != nullptr) {
        sink.PostLetter(kLetterConfigObjectChanged);
    }
}
