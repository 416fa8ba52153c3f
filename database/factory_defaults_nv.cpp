// NV parts of the four default groups.

#include "database/default_writer.h"
#include "database/factory_defaults.h"
#include "database/multi_colour24.h"
#include "database/object_ids.h"

using defaults::Writer;

namespace {
DefaultHooks g_hooks;

// Message table columns of the NV image (600 rows).
constexpr uint32_t kMsgText = 25792, kMsgOwner = 28192, kMsgCrc = 30592, kMsgBeacon = 31792,
                   kMsgPixel = 32392, kMsgPriority = 32992, kMsgStatus = 33592;

void MessageRows(Writer& w, uint32_t first, uint32_t last, uint32_t priority) {
    for (uint32_t r = first; r <= last; ++r) {
        const uint32_t i = r - 1;
        w.Empty(kMsgText + 4 * i);
        w.Empty(kMsgOwner + 4 * i);
        w.Int(kMsgCrc + 2 * i, 2, 0);
        w.Int(kMsgBeacon + i, 1, 0);
        w.Int(kMsgPixel + i, 1, 0);
        w.Int(kMsgPriority + i, 1, priority);
        w.Int(kMsgStatus + i, 1, 1);
    }
}

// One message row of single objects: text, owner, CRC (2 bytes), beacon, pixel service,
// priority, status.
void SingleRow(Writer& w, uint32_t text, uint32_t status) {
    w.Empty(text);
    w.Empty(text + 4);
    w.Int(text + 8, 2, 0);
    w.Int(text + 10, 1, 0);
    w.Int(text + 11, 1, 0);
    w.Int(text + 12, 1, 1);
    w.Int(text + 13, 1, status);
}

void PutLe24(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
    out[2] = static_cast<uint8_t>(value >> 16);
}
}  // namespace

void db_set_default_hooks(const DefaultHooks& hooks) {
    g_hooks = hooks;
}

const DefaultHooks& db_default_hooks() {
    return g_hooks;
}

void dms_factory_defaults(CDataBase& db, int mode) {
    Writer w(db, DbImage::kNv);
    const bool first = mode == kDefaultsFirstStart;
    if (first) {
        w.Int(dbo::dmsSignHeight.id, 2, 1524);
        w.Int(dbo::dmsSignWidth.id, 2, 1220);
        w.Int(dbo::dmsHorizontalBorder.id, 2, 338);
        w.Int(dbo::dmsVerticalBorder.id, 2, 338);
        w.Int(dbo::dmsSignAccess.id, 1, 8);
        w.Int(dbo::dmsSignType.id, 1, 6);
        w.Int(dbo::dmsBeaconType.id, 1, 2);
        w.Int(dbo::vmsCharacterHeightPixels.id, 1, 0);
        w.Int(dbo::vmsCharacterWidthPixels.id, 1, 0);
        w.Int(dbo::vmsSignHeightPixels.id, 2, 16);
        w.Int(dbo::vmsSignWidthPixels.id, 2, 24);
        w.Int(dbo::vmsHorizontalPitch.id, 1, 34);
        w.Int(dbo::vmsVerticalPitch.id, 1, 34);
        const uint32_t moduleId = db.GetInt(dbo::brenModuleID.id, 2, DbImage::kNv);
        uint8_t colours[6];
        PutLe24(colours, multi_colour_to_rgb24(0, moduleId));
        PutLe24(colours + 3, multi_colour_to_rgb24(7, moduleId));
        w.Bytes(dbo::monochromeColor.id, colours, sizeof colours);
    }
    // Font and character tables.
    for (uint32_t i = 0; i < 20; ++i) {
        w.Int(dbo::fontNumber.Row(i), 1, 0);
        w.Empty(dbo::fontName.Row(i));
        w.Int(dbo::fontHeight.Row(i), 1, 0);
        w.Int(dbo::fontCharSpacing.Row(i), 1, 0);
        w.Int(dbo::fontLineSpacing.Row(i), 1, 0);
        w.Int(dbo::fontVersionID.Row(i), 2, 0);
    }
    for (uint32_t k = 0; k < 20 * 255; ++k) {
        w.Int(dbo::characterWidth.Row(k), 1, 0);
        w.Empty(dbo::characterBitmap.Row(k));
    }
    // MULTI defaults and their stored copies. Lit text on a dark sign: black background (0),
    // white foreground (7), as monochromeColor's off and on values say.
    w.Int(dbo::defaultBackgroundColor.id, 1, 0);
    w.Int(dbo::defaultForegroundColor.id, 1, 7);
    w.Int(dbo::defaultFlashOn.id, 1, 10);
    w.Int(dbo::defaultFlashOff.id, 1, 10);
    w.Int(dbo::defaultFont.id, 1, 1);
    w.Int(dbo::defaultJustificationLine.id, 1, 3);
    w.Int(dbo::defaultJustificationPage.id, 1, 3);
    w.Int(dbo::defaultPageOnTime.id, 1, 20);
    w.Int(dbo::defaultPageOffTime.id, 1, 0);
    w.Int(dbo::defaultCharacterSet.id, 1, 2);
    if (first) {
        w.Int(25782, 1, 6);
    }
    for (uint32_t i = 0; i < 6; ++i) {
        w.Int(25783 + i, 1, w.Get(dbo::defaultFlashOn.id + i, 1, DbImage::kNv));
    }
    w.Int(25789, 1, w.Get(dbo::defaultPageOffTime.id, 1, DbImage::kNv));
    w.Int(dbo::dmsValidateMessageError.id, 1, 2);
    // Message table: changeable rows always, permanent rows only at the first start.
    MessageRows(w, 1, 500, 1);
    if (first) {
        MessageRows(w, 501, 600, 190);
    }
    SingleRow(w, 34192, 4);  // schedule row
    SingleRow(w, 34208, 4);  // current buffer
    w.Int(dbo::dmsSWReset.id, 1, 0);
    w.Int(dbo::dmsMessageTimeRemaining.id, 2, 65535);
    w.MsgId(dbo::dmsMsgTableSource.id, 7, 1, 0);
    w.Int(dbo::dmsMsgRequesterID.id, 4, 0);
    w.Int(dbo::dmsMsgSourceMode.id, 1, 11);
    w.MsgId(dbo::dmsShortPowerRecoveryMessage.id, 5, 1, 0);
    w.MsgId(dbo::dmsLongPowerRecoveryMessage.id, 5, 1, 0);
    w.Int(dbo::dmsShortPowerLossTime.id, 2, 60);
    w.MsgId(dbo::dmsResetMessage.id, 5, 1, 0);
    w.MsgId(dbo::dmsCommunicationsLossMessage.id, 7, 1, 0);
    w.Int(dbo::dmsTimeCommLoss.id, 2, 0);
    w.MsgId(dbo::dmsPowerLossMessage.id, 5, 1, 0);
    w.MsgId(dbo::dmsEndDurationMessage.id, 7, 1, 0);
    w.Int(dbo::dmsActivateMsgError.id, 1, 0);
    w.Int(dbo::dmsMultiSyntaxError.id, 1, 2);
    w.Int(dbo::dmsMultiSyntaxErrorPosition.id, 2, 0);
    w.Empty(dbo::dmsMultiOtherErrorDescription.id);
    w.Int(dbo::dmsIllumControl.id, 1, 2);
    w.Int(dbo::dmsIllumManLevel.id, 1, 255);
    w.Bytes(dbo::dmsIllumBrightnessValues.id, {0x30});
    w.Int(dbo::dmsIllumBrightnessValuesError.id, 1, 2);
    w.Int(dbo::dmsIllumLightOutputStatus.id, 2, 0);
    w.Empties(34292, 255);
    w.Int(dbo::dmsCurrentSpeedLimit.id, 1, 0);
    w.Int(dbo::watchdogFailureCount.id, 4, 0);
    if (first) {
        for (uint32_t g = 0; g < 50; ++g) {
            w.Int(35320 + g, 1, 0, kDbNotify | kDbSkipValidation);
            w.Empty(35372 + 4 * g);
            w.Int(35572 + g, 1, 0);
            w.Int(35622 + 2 * g, 2, 0);
            w.Int(dbo::dmsGraphicType.Row(g), 1, 1);
            w.Int(35772 + 2 * g, 2, 0);
            w.Int(dbo::dmsGraphicTransparentEnabled.Row(g), 1, 0);
            w.Bytes(dbo::dmsGraphicTransparentColor.Row(g), {0x00});
            w.Int(dbo::dmsGraphicStatus.Row(g), 1, 1);
        }
        w.Empties(36176, 50 * 63);
    }
}

void mib2_factory_defaults(CDataBase& db, int mode) {
    Writer w(db, DbImage::kNv);
    const bool first = mode == kDefaultsFirstStart;
    w.Text(dbo::sysContact.id, kDefaultSysContact);
    w.Text(dbo::sysName.id, kDefaultSysName);
    w.Text(dbo::sysLocation.id, "Unknown");
    if (first) {
        w.Int(dbo::ifSpeed.id, 4, 0x5000000);
    }
    w.Text(98632, "0.0.0.0");
    w.Int(98636, 4, 0);
    w.Int(dbo::ipForwarding.id, 1, 2);
    w.Int(dbo::ipDefaultTTL.id, 4, 100);
    w.Int(dbo::ipRouteMask.id, 4, 0);
    if (first) {
        w.Ints(dbo::rs232PortInSpeed.id, 4, 4, 4, 9600);
        w.Int(dbo::rs232PortInSpeed.Row(4), 4, 10);
    }
}

void private_factory_defaults(CDataBase& db, int mode) {
    Writer w(db, DbImage::kNv);
    const bool first = mode == kDefaultsFirstStart;
    w.Int(dbo::displayTestMode.id, 1, 1);
    if (first) {
        w.Int(dbo::brenIllumBrightnessScaler.id, 1, 100);
        w.Ints(dbo::brenLightSensorScale.id, 4, 1, 1, 53);
        w.Int(dbo::brenShutOffTemp.id, 1, 85);
        w.Int(dbo::brenModuleID.id, 2, 116);
        w.Int(dbo::brenEnableRealTimePixelDiagnostics.id, 1, 0);
        w.Int(dbo::brenhdlcAddress.id, 4, 1);
        w.Int(dbo::brenLCDAdminPassword.id, 4, 0);
        w.Int(dbo::brenLegibilityRatioThreshold.id, 1, 0);
        w.Int(dbo::brenSpecialFeatureSet.id, 4, 0);
        w.Int(dbo::brenRemoteIPAddress.id, 4, 0);
        w.Int(dbo::brenRemoteIPPort.id, 2, 162);
        w.Int(dbo::brenEthernetMode.id, 1, 1);
        w.Int(dbo::brenHostIPPort.id, 2, 161);
        w.Int(dbo::brenFeatureSet.id, 4, 20);
        w.Int(dbo::brenHostHttpPort.id, 2, 80);
        w.Int(dbo::brenNTPIPAddress.id, 4, 0);
        w.Empty(dbo::brenNTPText.id);
        w.Int(dbo::brenNTPPollTime.id, 2, 60);
        w.Int(dbo::brenDisplayRate.id, 1, 0);
        w.Int(dbo::brenDisplayOptions.id, 1, 0);
        w.Int(dbo::brenCANBaudRate.id, 1, 1);
        w.Int(dbo::brenCANMaxLineLength.id, 1, 0);
        w.Int(dbo::brenModTimeout.id, 2, 10);
        w.MsgId(dbo::brenMessageReference.id, 7, 1, 0);
        w.Int(dbo::messageStoreSplit.id, 1, 1);
        w.Int(95684, 1, 1);
        w.Int(dbo::scriptFileTrigger.id, 1, 1);
        w.Int(dbo::brenLatitude.id, 4, 90000001);
        w.Int(dbo::brenLongitude.id, 4, 180000001);
        w.Int(dbo::brenSignSerialNum.id, 4, 0);
        w.Int(dbo::brenControllerSerialNum.id, 4, 0);
        w.Int(dbo::brenHeartBeatThreshold.id, 2, 0);
    }
    w.MsgId(dbo::storedMessageReference.id, 7, 1, 0);
    // Activation code: duration 65535, priority 1, memory type 7, message 1, CRC 0, 0.0.0.0.
    w.Bytes(dbo::storedActivateMessage.id,
            {0xFF, 0xFF, 0x01, 0x07, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    if (!first) {
        w.Int(98400, 1, 50);
        w.Empties(dbo::switchMessageCode.id, 50);
        w.Int(98604, 2, 1024);
        return;
    }
    w.Int(dbo::brenTBSCBayHeightInModules.id, 1, 3);
    w.Int(dbo::brenTBSCBayWidthInModules.id, 1, 3);
    w.Ints(dbo::brenLineLength.id, 9, 1, 1, 0);
    w.Int(95734, 2, 120);
    w.Int(95732, 1, 2);
    w.Int(95736, 1, 40);
    w.Int(95741, 1, 100);
    w.Int(95737, 1, 100);
    w.Int(95742, 1, 40);
    w.Ints(95738, 3, 1, 1, 0);
    w.Ints(95743, 3, 1, 1, 0);
    w.Empty(dbo::brenCallbackNumber.id);
    w.Int(dbo::brenCallbackMinTimeBetweenAttempts.id, 2, 5);
    w.Int(dbo::brenCallbackMaxAttempts.id, 1, 5);
    w.Int(dbo::brenLCDPassword.id, 4, 0);
    w.Empty(95768);
    w.Int(95772, 4, 0);
    w.Empty(95776);
    for (uint32_t p = 0; p < 5; ++p) {
        w.Int(dbo::brenCommConfigProtocol.Row(p), 1, 0);
        w.Int(dbo::brenCommConfigFlowControl.Row(p), 1, 0);
        w.Int(dbo::brenCommConfigTraps.Row(p), 1, 0);
        w.Int(dbo::brenCommConfigInnerCharTimeout.Row(p), 2, 0);
        w.Empty(dbo::brenCommConfigParameters.Row(p));
    }
    w.Int(dbo::brenCommConfigProtocol.id, 1, 2);
    w.Int(dbo::brenCommConfigFlowControl.id, 1, 0);
    w.Int(dbo::brenCommConfigProtocol.Row(4), 1, 11);
    w.Int(dbo::brenCommConfigFlowControl.Row(4), 1, 4);
    w.Int(dbo::brenRdiLogicalId.id, 2, 0);
    // The serial link's acknowledgement timeout would be 450000, which 2 bytes cannot hold.
    w.Int(dbo::brenRdiAck2Timeout.id, 2, 0);
    w.Int(dbo::brenRdiRetries.id, 1, 2);
    w.Int(dbo::brenCommCommand.id, 1, 1);
    for (uint32_t r = 0; r < 255; ++r) {
        w.Int(dbo::brenPeripheralID.Row(r), 2, 0);
        w.Empty(dbo::brenPeripheralParameters.Row(r));
    }
    w.Int(dbo::brenPeripheralID.id, 2, 2);
    w.Text(dbo::brenPeripheralParameters.id, "42005,2");
    w.Int(dbo::brenPeripheralID.Row(1), 2, 13);
    w.Text(dbo::brenPeripheralParameters.Row(1), "42105,2");
    w.Int(dbo::brenTrapsGeneric.id, 1, 64);
    w.Bytes(dbo::brenTrapsEnterpriseSpecific.id, {0xC5, 0x21, 0x02});
    w.Int(dbo::brenTrapsExpirationDuration.id, 4, 0);
    w.Int(98400, 1, 50);
    w.Empties(dbo::switchMessageCode.id, 50);
    w.Int(98604, 2, 1024);
}

void global_factory_defaults(CDataBase& db, int mode) {
    Writer w(db, DbImage::kNv);
    const bool first = mode == kDefaultsFirstStart;
    if (first) {
        w.Text(dbo::chapName.id, "LANTERNS");
        w.Text(dbo::chapSecret.id, "MAPLES");
    }
    w.Int(dbo::pmppConfigWord.id, 2, 0);
    w.Int(dbo::maxGroupAddresses.id, 1, 10);
    w.Ints(dbo::pmppGroupAddress.id, 10, 4, 4, 0);
    w.Int(dbo::globalSetIDParameter.id, 4, 0);
    if (first) {
        db.SetRegisterTime(dbo::globalTime.id, 4, 0, DbImage::kNv, kDbNotify | kDbIgnoredFlag);
        w.Int(dbo::controllerStandardTimeZone.id, 4, static_cast<uint32_t>(-21600));
        w.Int(dbo::globalDaylightSaving.id, 1, 3);
        for (uint32_t r = 0; r < 10; ++r) {
            const bool row1 = r == 0;
            w.Int(dbo::dstBeginMonth.Row(r), 1, row1 ? 15 : 14);
            w.Int(dbo::dstBeginOccurrences.Row(r), 1, row1 ? 2 : 1);
            w.Int(dbo::dstBeginDayOfWeek.Row(r), 1, 1);
            w.Int(dbo::dstBeginDayOfMonth.Row(r), 1, 1);
            w.Int(dbo::dstBeginSecondsToTransition.Row(r), 4, row1 ? 7200 : 0);
            w.Int(dbo::dstEndMonth.Row(r), 1, row1 ? 11 : 14);
            w.Int(dbo::dstEndOccurrences.Row(r), 1, 1);
            w.Int(dbo::dstEndDayOfWeek.Row(r), 1, 1);
            w.Int(dbo::dstEndDayOfMonth.Row(r), 1, 1);
            w.Int(dbo::dstEndSecondsToTransition.Row(r), 4, row1 ? 7200 : 0);
            w.Int(dbo::dstSecondsToAdjust.Row(r), 2, row1 ? 3600 : 0);
        }
    }
    w.Int(dbo::maxTimeBaseScheduleEntries.id, 2, 29);
    w.Int(dbo::maxDayPlans.id, 1, 20);
    w.Int(dbo::maxDayPlanEvents.id, 1, 24);
    w.Int(dbo::dayPlanStatus.id, 1, 0);
    for (uint32_t i = 0; i < 29; ++i) {
        w.Int(49044 + 2 * i, 2, 0);
        w.Int(49102 + i, 1, 0);
        w.Int(49132 + 4 * i, 4, 0);
        w.Int(49248 + i, 1, 0);
    }
    for (uint32_t n = 0; n < 20 * 24; ++n) {
        w.Int(49280 + n, 1, 0);
        w.Int(49760 + n, 1, 0);
        w.Oid(50240 + 4 * n, {1, 3, 6, 1, 4, 1, 1206, 4, 2, 6, 3, 1, 0});
    }
    for (uint32_t i = 0; i < 60; ++i) {
        w.Int(52160 + i, 1, 1);
        w.Int(52220 + i, 1, 1);
        w.Int(52280 + 4 * i, 4, 0);
        w.Int(52520 + 4 * i, 4, 0);
        w.Oid(52760 + 4 * i, {0, 0});
        w.Oid(53000 + 4 * i, {0, 0});
        w.Int(53240 + i, 1, 2);
    }
    {
        // Configuration 17 logs the current speed limit into class 12.
        const uint32_t i = 16;
        w.Int(52160 + i, 1, 12);
        w.Int(52220 + i, 1, 2);
        w.Int(52280 + 4 * i, 4, 0);
        w.Int(52520 + 4 * i, 4, 0);
        w.Oid(52760 + 4 * i, {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 5, 8, 1, 3, 5, 1});
        w.Oid(53000 + 4 * i, {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 5, 8, 1, 3, 5, 1});
        w.Int(53240 + i, 1, 3);
    }
    for (uint32_t n = 0; n < 16 * 255; ++n) {
        w.Int(53300 + 2 * n, 2, 1);
        w.Int(61460 + 4 * n, 4, 0);
        w.Empty(77780 + 4 * n);
    }
    for (uint32_t c = 0; c < 16; ++c) {
        w.Int(dbo::eventClassLimit.Row(c), 1, 0);
        w.Int(dbo::eventClassClearTime.Row(c), 4, 0);
        w.Empty(94180 + 4 * c);
        w.Int(94244 + c, 1, 0);
    }
    w.Int(dbo::eventClassLimit.Row(11), 1, 100);
    w.Text(94180 + 4 * 11, "Current Speed Limit");
    w.Text(dbo::communityNameAdmin.id, "quartermaster");
    for (uint32_t k = 0; k < 100; ++k) {
        w.Text(dbo::communityNameUser.Row(k), "tamsol");
        w.Int(dbo::communityNameAccessMask.Row(k), 4, 0);
    }
    w.Text(dbo::communityNameUser.Row(2), "Tamsol");
    w.Int(dbo::communityNameAccessMask.Row(2), 4, 0xFFFFFFFF);
    for (uint32_t n = 0; n < 136; ++n) {
        w.Text(dbo::auxIOPortDescription.Row(n), "UNUSED");
    }
}
