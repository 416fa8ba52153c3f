// Volatile parts of the four default groups, run at every start.

#include <cstdio>
#include <cstring>

#include "database/default_writer.h"
#include "database/factory_defaults.h"
#include "database/object_ids.h"

using defaults::Writer;

namespace {
constexpr uint32_t kNvMsgStatus = 33592;
constexpr uint32_t kNvGraphicStatus = 36124;
constexpr uint32_t kNvGraphicBlocks = 36176;
constexpr char kMaker[] = "Brennovask, Inc.";

uint32_t CountNv(const CDataBase& db, uint32_t first, uint32_t count, uint32_t a, uint32_t b) {
    uint32_t n = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t status = db.GetInt(first + i, 1, DbImage::kNv);
        n += status == a || status == b ? 1 : 0;
    }
    return n;
}
}  // namespace

void dms_volatile_defaults(CDataBase& db) {
    Writer w(db, DbImage::kVolatile);
    w.Int(0, 1, 2);
    w.Int(2, 2, 2);
    const uint32_t signType = db.GetInt(dbo::dmsSignType.id, 1, DbImage::kNv);
    w.Int(4, 1, signType == 4 || signType == 132 ? 1 : 20);
    w.Int(6, 2, 255);
    const uint32_t changeable = CountNv(db, kNvMsgStatus, 500, 4, 4);
    const uint32_t permanent = CountNv(db, kNvMsgStatus + 500, 100, 4, 4);
    w.Int(dbo::dmsNumPermanentMsg.id, 2, 2 + permanent);
    w.Int(dbo::dmsNumChangeableMsg.id, 2, changeable);
    w.Int(dbo::dmsMaxChangeableMsg.id, 2, 500);
    w.Int(dbo::dmsFreeChangeableMemory.id, 4, 750000 - 1500 * changeable);
    w.Int(dbo::dmsNumVolatileMsg.id, 2, 0);
    w.Int(22, 2, 4);
    w.Int(dbo::dmsFreeVolatileMemory.id, 4, 6000);
    for (uint32_t i = 0; i < 4; ++i) {
        w.Empty(dbo::dmsMessageMultiStringVolatile.Row(i));
        w.Empty(dbo::dmsMessageOwnerVolatile.Row(i));
        w.Int(dbo::dmsMessageCRCVolatile.Row(i), 2, 0);
        w.Int(dbo::dmsMessageBeaconVolatile.Row(i), 1, 0);
        w.Int(dbo::dmsMessagePixelServiceVolatile.Row(i), 1, 0);
        w.Int(dbo::dmsMessageRunTimePriorityVolatile.Row(i), 1, 1);
        w.Int(dbo::dmsMessageStatusVolatile.Row(i), 1, 1);
    }
    for (uint32_t i = 0; i < 2; ++i) {
        w.Empty(84 + 4 * i);
        w.Empty(92 + 4 * i);
        w.Int(100 + 2 * i, 2, 0);
        w.Int(104 + i, 1, 0);
        w.Int(106 + i, 1, 0);
        w.Int(110 + i, 1, 4);
    }
    w.Int(108, 1, 255);
    w.Int(109, 1, 1);
    w.Empty(112);
    w.Empty(116);
    w.Int(120, 2, 0);
    w.Int(122, 1, 0);
    w.Int(123, 1, 0);
    w.Int(124, 1, 1);
    w.Int(125, 1, 1);
    w.Empty(dbo::dmsActivateMessage.id);
    w.Int(dbo::dmsControlMode.id, 1, 4);
    w.Int(dbo::dmsMemoryMgmt.id, 1, 2);
    w.Int(134, 2, 0);
    w.Int(136, 2, 0);
    w.Int(138, 2, 0);
    w.Int(dbo::dmsIllumBrightLevelStatus.id, 1, 0);
    w.Int(dbo::dmsIllumPhotocellLevelStatus.id, 2, 0);
    w.Int(dbo::dmsIllumMaxPhotocellLevel.id, 2, 65535);
    w.Int(146, 1, 255);
    w.Int(148, 1, 255);
    w.Ints(dbo::statMultiFieldRows.id, 3, 1, 1, 0);
    for (uint32_t k = 0; k < 11; ++k) {
        w.Int(152 + k, 1, k + 1);
        w.Empty(164 + 4 * k);
    }
    w.Empty(208);
    w.Empty(212);
    w.Empty(216);
    w.Int(dbo::shortErrorStatus.id, 2, 0);
    w.Int(dbo::pixelTestActivation.id, 1, 2, 0);
    w.Int(dbo::lampTestActivation.id, 1, 2);
    w.Int(224, 1, 2);
    w.Int(225, 1, 0);
    w.Int(226, 2, 0);
    w.Int(228, 2, 0);
    w.Int(230, 2, 0);
    w.Empty(232);
    w.Empty(240);
    w.Empty(248);
    w.Int(236, 4, 0);
    w.Int(244, 4, 0);
    w.Ints(252, 3, 1, 1, 0);
    w.Bytes(dbo::fdotPowerFailureMap.id, {0x00});
    w.Bytes(264, {0x00});
    w.Int(dbo::dmsPowerNumRows.id, 1, 0);
    w.Int(268, 4, 0);
    for (uint32_t r = 0; r < 300; ++r) {
        w.Empty(272 + 4 * r);
        w.Empty(1472 + 4 * r);
        w.Int(2672 + r, 1, 2);
        w.Int(2972 + 2 * r, 2, 0);
        w.Int(3572 + r, 1, 6);
    }
    for (uint32_t r = 0; r < 32; ++r) {
        w.Empty(3872 + 4 * r);
        w.Empty(4000 + 4 * r);
        w.Int(4128 + r, 1, 2);
        w.Int(4160 + r, 1, 0);
        w.Int(dbo::peripheralStatus.Row(r), 1, 2);
        w.Empty(4224 + 4 * r);
        w.Int(4352 + r, 1, 1);
    }
    w.Empties(4384, 11);
    for (uint32_t r = 0; r < 6; ++r) {
        w.Empty(4428 + 4 * r);
        w.Int(dbo::lightSensorLevel.Row(r), 2, 0);
        w.Int(dbo::lightSensorStatus.Row(r), 1, 2);
    }
    for (uint32_t r = 0; r < 6; ++r) {
        w.Empty(4472 + 4 * r);
        w.Int(4496 + r, 1, 0);
        w.Int(4502 + r, 1, 2);
    }
    for (uint32_t r = 0; r < 6; ++r) {
        w.Empty(4508 + 4 * r);
        w.Int(dbo::temperatureSensorValue.Row(r), 1, 0);
        w.Int(4532 + r, 1, 127);
        w.Int(4544 + r, 1, 127);
        w.Int(4538 + r, 1, 128);
        w.Int(4550 + r, 1, 128);
        w.Int(dbo::temperatureSensorStatus.Row(r), 1, 0);
    }
    for (uint32_t j = 0; j < 3; ++j) {
        for (uint32_t k = 0; k < 3; ++k) {
            w.Int(4568 + 2 * (500 * j + k), 2, 1);
            w.Int(7568 + 2 * (500 * j + k), 2, 1);
            w.Int(10568 + 500 * j + k, 1, 0);
        }
    }
    w.Int(12068, 2, 0);
    w.Int(12070, 1, 0);
    w.Int(12071, 1, 0);
    w.Int(12072, 1, 120);
    w.Int(dbo::powerSource.id, 1, 4);
    w.Int(12074, 1, 0);
    w.Ints(dbo::tempMinCtrlCabinet.id, 6, 1, 1, 0);
    w.Empty(12084);
    w.Empty(12088);
    w.Int(12092, 1, 50);
    w.Int(dbo::dmsGraphicNumEntries.id, 1, CountNv(db, kNvGraphicStatus, 50, 4, 5));
    Writer nv(db, DbImage::kNv);
    for (uint32_t g = 0; g < 50; ++g) {
        if (db.GetInt(kNvGraphicStatus + g, 1, DbImage::kNv) != 1) {
            continue;
        }
        for (uint32_t b = 0; b < 63; ++b) {
            nv.Empty(kNvGraphicBlocks + 4 * (63 * g + b), kDbNotify | kDbSkipValidation);
        }
    }
    w.Int(dbo::dmsGraphicMaxSize.id, 2, 64449);
    w.Int(12096, 4, 0xFFFFFF);
    w.Int(dbo::dmsGraphicBlockSize.id, 2, 1023);
}

void mib2_volatile_defaults(CDataBase& db) {
    Writer w(db, DbImage::kVolatile);
    w.Text(dbo::sysDescr.id, kDefaultSysName);
    w.Oid(dbo::sysObjectID.id, {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3});
    w.Int(24412, 4, 0);
    w.Int(dbo::sysServices.id, 1, 67);
    w.Int(dbo::ifNumber.id, 4, 1);
    w.Int(24424, 4, 1);
    w.Text(24428, "Ethernet Port");
    w.Int(24432, 1, 6);
    w.Int(24436, 4, 1518);
    w.Empty(dbo::ifPhysAddress.id);
    w.Int(24444, 1, 1);
    w.Int(24445, 1, 1);
    w.Ints(24448, 13, 4, 4, 0);
    w.Oid(24500, {0, 0});
    w.Int(24504, 4, 1);
    w.Ints(24508, 18, 4, 4, 0);  // 24508-24576
    w.Ints(dbo::ipAdEntAddr.id, 4, 4, 4, 0);
    w.Int(24596, 2, 0);
    w.Ints(dbo::ipRouteDest.id, 7, 4, 4, 0);  // 24600-24624
    w.Int(dbo::ipRouteType.id, 1, 1);
    w.Int(dbo::ipRouteProto.id, 1, 0);
    w.Int(24632, 4, 0);
    w.Int(24636, 4, 0);
    w.Oid(dbo::ipRouteInfo.id, {0, 0});
    w.Int(24644, 4, 0);
    w.Empty(24648);
    w.Int(24652, 4, 0);
    w.Int(24656, 4, 0);
    w.Int(dbo::dot3StatsIndex.id, 4, 1);
    w.Ints(24664, 12, 4, 4, 0);  // 24664-24708
    w.Oid(dbo::dot3StatsEtherChipSet.id, {1, 3, 6, 1, 2, 1, 10, 7, 8, 2, 1});
    w.Int(24716, 4, 0);
    w.Int(24720, 4, 0);
    for (uint32_t p = 0; p < 5; ++p) {
        w.Int(24724 + 4 * p, 4, p + 1);
        w.Int(24744 + 4 * p, 4, 0);
        w.Int(24764 + 4 * p, 4, 0);
        w.Int(24784 + 4 * p, 4, 0);
        w.Int(24804 + 4 * p, 4, 0);
    }
    for (uint32_t p = 0; p < 5; ++p) {
        w.Int(24824 + 4 * p, 4, p + 1);
        w.Int(24844 + 4 * p, 4, 0);
        w.Int(24864 + 4 * p, 4, 0);
        w.Oid(24884 + 4 * p, {0, 0});
    }
    w.Int(dbo::rs232Number.id, 4, 0);
    constexpr uint8_t kPortTypes[5] = {2, 2, 1, 2, 1};
    for (uint32_t p = 0; p < 5; ++p) {
        w.Int(24908 + 4 * p, 4, p + 1);
        w.Int(24928 + p, 1, kPortTypes[p]);
    }
    for (uint32_t p = 0; p < 5; ++p) {
        w.Int(24936 + 4 * p, 4, p + 1);
        w.Int(24956 + 4 * p, 4, 0);
        w.Int(24976 + 4 * p, 4, 0);
    }
    w.Ints(dbo::snmpInPkts.id, 25, 4, 4, 0);  // 24996-25092
    w.Int(dbo::snmpEnableAuthenTraps.id, 4, 2);
}

void private_volatile_defaults(CDataBase& db) {
    Writer w(db, DbImage::kVolatile);
    w.Ints(14016, 1500, 2, 2, 0);
    w.Int(dbo::brenResetCommand.id, 1, 1);
    w.Int(dbo::brenLegibilityRatio.id, 1, 100);
    w.Int(dbo::brenClimateMode.id, 1, 2);
    w.Int(dbo::brenFlashDeadSpace.id, 1, 0);
    w.Int(17020, 1, 0);
    static const uint8_t kZeroCode[12] = {};
    w.Bytes(dbo::requestCode.id, kZeroCode, sizeof kZeroCode);
    w.Bytes(dbo::requestCode.Row(1), kZeroCode, sizeof kZeroCode);
    for (uint32_t i = 2; i <= 6; ++i) {
        w.Empty(dbo::requestCode.Row(i));
        w.Int(dbo::requestSourceMode.Row(i), 1, 1);
        w.Int(dbo::requestOrigin.Row(i), 1, 1);
        w.Int(dbo::requestExpiry.Row(i), 4, 0);
        w.Empty(dbo::requestServedCode.Row(i));
    }
    w.Int(dbo::modemSignalLevel.id, 2, 0xFF81);  // -127 dB
    w.Empties(dbo::modemApn.id, 5);
    w.Empty(dbo::modemMsid.id);
    w.Int(17156, 1, 9);
    w.Int(dbo::pixelPowerLimitMode.id, 1, 1);
    w.Int(dbo::brenFileTransferStatus.id, 1, 0);
    w.Int(dbo::brenFileTransferBlockSize.id, 2, 0);
    w.Int(dbo::brenFileTransferFileSize.id, 4, 0);
    w.Int(dbo::brenFileTransferBlockNumber.id, 2, 0);
    w.Empty(dbo::brenFileTransferBlock.id);
    w.Int(dbo::brenFileTransferBlockCrc.id, 2, 0);
    w.Int(17180, 2, 0);
    w.Int(17182, 2, 0);
    w.Ints(dbo::brenSensorPercent.id, 3, 1, 1, 0);
    w.Int(17187, 1, 100);
    w.Int(dbo::activationOrigin.id, 1, 1);
    w.Int(dbo::illumRequestedLevel.id, 1, 0);
    w.Int(dbo::illumLimitStatus.id, 1, 1);
    w.Ints(dbo::brenSensorValue.id, 4, 2, 2, 0);
    w.Int(17204, 4, 1000);
    w.Empty(dbo::externalText.id);
    w.Int(17212, 1, 5);
    w.Int(17213, 1, 2);
    w.Int(17214, 1, 2);
    w.Int(17215, 1, 3);
    w.Int(17216, 1, 2);
    w.Int(17217, 1, 4);
    w.Int(17220, 2, 255);
    w.Int(dbo::brenPeripheralListEdit.id, 1, 2);
    w.Ints(dbo::peripheralListStatus.id, 255, 1, 1, 0);
    w.Int(dbo::brenPeripheralCount.id, 2, 0);
    w.Int(17480, 1, 0);
    w.Int(17481, 1, 0);
    for (uint32_t r = 0; r < 26; ++r) {
        w.Empty(17484 + 4 * r);
        w.Int(17588 + r, 1, 0);
        w.Int(17614 + 2 * r, 2, 0);
        w.Int(17666 + r, 1, 1);
        w.Int(17692 + r, 1, 1);
        w.Int(17718 + r, 1, 1);
        w.Empty(17744 + 4 * r);
    }
    static const uint8_t kZeroBlock[1024] = {};
    for (uint32_t n = 0; n < 26 * 63; ++n) {
        w.Bytes(17848 + 4 * n, kZeroBlock, sizeof kZeroBlock);
    }
    w.Ints(24400, 4, 1, 1, 0);
}

void global_volatile_defaults(CDataBase& db) {
    Writer w(db, DbImage::kVolatile);
    w.Int(dbo::chapSecretsMax.id, 1, 1);
    w.Int(dbo::snmpMaxPacketSize.id, 4, 2050);
    w.Int(dbo::globalMaxModules.id, 1, 8);
    for (uint32_t i = 0; i < 8; ++i) {
        w.Oid(12116 + 4 * i, {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3});
        w.Empty(12148 + 4 * i);
        w.Empty(12180 + 4 * i);
        w.Empty(12212 + 4 * i);
        w.Int(12244 + i, 1, 3);
    }
    auto row = [&w](uint32_t i, const char* model, const char* version, int type) {
        w.Text(12148 + 4 * (i - 1), kMaker);
        w.Text(12180 + 4 * (i - 1), model);
        if (version != nullptr) {
            w.Text(12212 + 4 * (i - 1), version);
        }
        if (type != 0) {
            w.Int(12244 + (i - 1), 1, static_cast<uint32_t>(type));
        }
    };
    char model[64];
    std::snprintf(model, sizeof model, "%s - SFC-4400 FW", kFirmwarePartNumber);
    row(1, model, kFirmwareVersion, 3);
    row(2, "CONTROLLER SERIAL NUMBER", "SN: ----", 2);
    row(3, "DISPLAY DRIVER", nullptr, 0);
    row(4, "CONTROL PANEL", nullptr, 0);
    row(5, "DISPLAY MODULE", nullptr, 0);
    row(6, "DISTRIBUTION BOARD", nullptr, 0);
    const char* monitorText = db_default_hooks().monitorVersion != nullptr
                                  ? db_default_hooks().monitorVersion()
                                  : nullptr;
    const char* dash = monitorText != nullptr ? std::strchr(monitorText, '-') : nullptr;
    row(8, "PX40851 - BOOTLOADER", dash != nullptr ? dash + 1 : kFirmwareVersion, 0);
    row(7, "SIGN MODEL", "SN: ----", 2);
    w.Int(dbo::dbCreateTransaction.id, 1, 1);
    w.Int(dbo::dbErrorType.id, 1, 7);
    w.Oid(dbo::dbErrorID.id, {0, 0});
    w.Int(dbo::dbTransactionID.id, 1, 0);
    w.Int(dbo::dbMakeID.id, 1, 0);
    w.Int(dbo::dbVerifyStatus.id, 1, 0);
    w.Empty(dbo::dbVerifyError.id);
    w.Int(dbo::controllerLocalTime.id, 4, 0);
    w.Int(dbo::maxDaylightSavingEvents.id, 1, 10);
    w.Int(dbo::maxEventLogConfigs.id, 2, 60);
    w.Int(dbo::maxEventLogSize.id, 2, 255);
    w.Int(dbo::maxEventClasses.id, 1, 16);
    w.Int(dbo::communityNamesMax.id, 1, 100);
    for (uint32_t k = 1; k <= 100; ++k) {
        w.Int(12281 + (k - 1), 1, k);
    }
    w.Int(12381, 1, 112);
    w.Int(12382, 1, 24);
    for (uint32_t n = 1; n <= 112; ++n) {
        w.Int(12384 + (n - 1), 1, 3);
        w.Int(12520 + (n - 1), 1, n);
        w.Int(dbo::auxIOPortType.Row(n - 1), 1, 0);
        w.Int(dbo::auxIOPortValue.Row(n - 1), 4, 0);
        w.Int(13336 + (n - 1), 1, 2);
        w.Int(13472 + 4 * (n - 1), 4, 0);
    }
    for (uint32_t n = 1; n <= 24; ++n) {
        w.Int(12496 + (n - 1), 1, 2);
        w.Int(12632 + (n - 1), 1, n);
        w.Int(dbo::auxIOPortType.Row(112 + (n - 1)), 1, 0);
        w.Int(dbo::auxIOPortValue.Row(112 + (n - 1)), 4, 0);
        w.Int(13448 + (n - 1), 1, 2);
        w.Int(13920 + 4 * (n - 1), 4, 0);
    }
}
