#include "database/change_notification.h"

#include "database/config_catalogue.h"
#include "database/object_ids.h"
#include "runtime/letter_id.h"

namespace {

// One object (or one row of a column), a whole column, or the ids from one object to another.
constexpr NotifyRow At(uint32_t id, uint32_t payload, uint32_t kind) {
    return {static_cast<int32_t>(id), static_cast<int32_t>(id), payload, kind};
}
constexpr NotifyRow Column(const DbObject& column, uint32_t payload, uint32_t kind) {
    return {static_cast<int32_t>(column.id), static_cast<int32_t>(column.LastId()), payload, kind};
}
constexpr NotifyRow Span(uint32_t first, uint32_t last, uint32_t payload, uint32_t kind) {
    return {static_cast<int32_t>(first), static_cast<int32_t>(last), payload, kind};
}

}  // namespace

// Searched in this order; the first matching row wins.
const NotifyRow kNvLetterRows[29] = {
    At(dbo::eventClassClearTime.id, kLetterEventLogClearClassFirst, 1),  // event class 1 clear time
    At(dbo::eventClassClearTime.Row(1), kLetterEventLogClearClassFirst + 1, 1),
    At(dbo::eventClassClearTime.Row(2), kLetterEventLogClearClassFirst + 2, 1),
    At(dbo::eventClassClearTime.Row(3), kLetterEventLogClearClassFirst + 3, 1),
    At(dbo::eventClassClearTime.Row(4), kLetterEventLogClearClassFirst + 4, 1),
    At(dbo::eventClassClearTime.Row(5), kLetterEventLogClearClassFirst + 5, 1),
    At(dbo::eventClassClearTime.Row(6), kLetterEventLogClearClassFirst + 6, 1),
    At(dbo::eventClassClearTime.Row(7), kLetterEventLogClearClassFirst + 7, 1),
    At(dbo::eventClassClearTime.Row(8), kLetterEventLogClearClassFirst + 8, 1),
    At(dbo::eventClassClearTime.Row(9), kLetterEventLogClearClassFirst + 9, 1),
    At(dbo::eventClassClearTime.Row(10), kLetterEventLogClearClassFirst + 10, 1),
    At(dbo::eventClassClearTime.Row(11), kLetterEventLogClearClassFirst + 11, 1),
    At(dbo::eventClassClearTime.Row(12), kLetterEventLogClearClassFirst + 12, 1),
    At(dbo::eventClassClearTime.Row(13), kLetterEventLogClearClassFirst + 13, 1),
    At(dbo::eventClassClearTime.Row(14), kLetterEventLogClearClassFirst + 14, 1),
    At(dbo::eventClassClearTime.Row(15), kLetterEventLogClearClassFirst + 15,
       1),  // event class 16 clear time
    Column(dbo::eventClassLimit, kLetterEventLogLimitsChanged,
           2),  // the sixteen event class limits
    At(dbo::dmsIllumBrightnessValues.id, kLetterBrightnessTableChanged, 2),
    At(dbo::messageStoreSplit.id, kLetterMessageStoreSplit, 2),
    At(dbo::brenEnableRealTimePixelDiagnostics.id, kLetterPixelDiagnosticsEnable, 2),
    At(dbo::brenShutOffTemp.id, kLetterShutOffTempChanged, 2),
    At(dbo::globalLocalTimeDifferential.id, kLetterClockOffsetChanged, 1),
    At(dbo::controllerStandardTimeZone.id, kLetterTimeZoneChanged, 1),
    At(dbo::dmsSignType.id, kLetterFontsChanged, 2),
    At(dbo::brenCommCommand.id, kLetterCommSetting95833, 2),
    Column(dbo::rs232PortInSpeed, kLetterPortSettingsChanged, 2),
    Column(dbo::brenCommConfigInnerCharTimeout, kLetterPortSettingsChanged, 2),
    At(dbo::brenFeatureSet.id, kLetterFeatureSetChanged, 2),
    At(dbo::brenSpecialFeatureSet.id, kLetterSpecialFeatureSetChanged, 2),
};

const NotifyRow kNvFlagRows[14] = {
    At(dbo::globalTime.id, 0x1, 2),
    Span(dbo::brenModuleID.id, dbo::brenEnableRealTimePixelDiagnostics.id, 0x40000000, 2),
    At(dbo::dmsSignAccess.id, 0x40000000, 2),
    Span(dbo::vmsSignHeightPixels.id, dbo::vmsSignWidthPixels.id, 0x40000000, 2),
    Column(dbo::dmsGraphicStatus, 0x400, 2),
    Column(dbo::dmsMessageStatus, 0x800, 2),
    Span(dbo::brenRemoteIPAddress.id, dbo::brenRemoteIPPort.id, 0x80000, 2),
    At(dbo::brenSpecialFeatureSet.id, 0x100000, 2),
    At(dbo::displayTestMode.id, 0x800000, 2),
    At(dbo::dmsTimeCommLoss.id, 0x8000, 2),
    Span(dbo::dmsIllumControl.id, dbo::dmsIllumBrightnessValuesError.id, 0x20000, 2),
    At(dbo::brenIllumBrightnessScaler.id, 0x20000, 2),
    Column(dbo::brenLineLength, 0x40000000, 2),
    At(dbo::brenhdlcAddress.id, 0x20000000, 2),
};

const NotifyRow kVolatileLetterRows[4] = {
    At(dbo::lampTestActivation.id, kLetterLampTestActivation, 2),
    Column(dbo::requestCode, kLetterActivationRequest,
           1),  // requestCode of the activation request slots
    At(dbo::ifPhysAddress.id, kLetterMacAddressChanged, 2),
    At(dbo::pixelPowerLimitMode.id, kLetterPixelPowerLimitMode, 2),
};

const NotifyRow kVolatileFlagRows[9] = {
    At(dbo::dmsActivateMessage.id, 0x4000, 1),
    At(dbo::dmsControlMode.id, 0x1000, 2),
    At(dbo::pixelTestActivation.id, 0x200000, 2),
    At(dbo::brenFileTransferStatus.id, 0x8000000, 2),
    At(dbo::brenResetCommand.id, 0x200, 2),
    At(dbo::dmsMemoryMgmt.id, 0x200, 2),
    At(dbo::dmsIllumPhotocellLevelStatus.id, 0x20000, 1),
    Column(dbo::dmsMessageStatusVolatile, 0x800, 2),  // dmsMessageStatus of the volatile rows
    At(dbo::brenPeripheralListEdit.id, 0x1000000, 2),
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
