#pragma once
// The object-id catalogue of the whole controller: every object another module reads or writes by
// name. An object is its image and byte offset (id) there, its width (1, 2 or 4; a string object
// is a 4-byte slot), whether it is a string, and its MIB name (or the controller's own name where
// the MIB has none). Table columns carry a row count and the distance between rows.
//
//   g_DataBase.GetInt(dbo::dmsSignType.id, dbo::dmsSignType.width, dbo::dmsSignType.image);
//   g_DataBase.Get(dbo::dmsSignType);
//   g_DataBase.Set(dbo::dmsMessageStatus, 6, kDbNotify, 17);   // row 18, counted from 0

#include <cstddef>
#include <cstdint>

#include "database/db_types.h"

enum class DbKind : uint8_t { kInteger, kString };

struct DbObject {
    uint32_t id;
    DbImage image;
    uint8_t width;
    DbKind kind;
    uint16_t rows;    // 1 for a single object
    uint16_t stride;  // bytes from one row to the next
    const char* name;

    constexpr bool IsString() const { return kind == DbKind::kString; }
    // Id of row `row` (counted from 0) of a table column.
    constexpr uint32_t Row(uint32_t row) const { return id + row * stride; }
    // Id of the last row.
    constexpr uint32_t LastId() const { return id + (rows - 1u) * stride; }
    // One past the last byte of the last row.
    constexpr uint32_t End() const { return LastId() + width; }
    constexpr bool Contains(uint32_t objectId) const {
        return objectId >= id && objectId <= LastId() && (objectId - id) % stride == 0;
    }
};

// X(name, image, id, width, kind, rows, stride): image N (NV) or V (volatile), kind I or S.
// Stride 0 means "the width".
// clang-format off
#define DMS_DB_OBJECTS(X) \
    /* NV header and block headers */ \
    X(nvImageVersion,                 N, 0,     4, I, 1,   0) \
    X(nvImageSize,                    N, 4,     4, I, 1,   0) \
    X(nvBlockStart,                   N, 8,     4, I, 6,   0) \
    /* dms block: sign geometry */ \
    X(dmsSignHeight,                  N, 48,    2, I, 1,   0) \
    X(dmsSignWidth,                   N, 50,    2, I, 1,   0) \
    X(dmsHorizontalBorder,            N, 52,    2, I, 1,   0) \
    X(dmsVerticalBorder,              N, 54,    2, I, 1,   0) \
    X(dmsSignAccess,                  N, 56,    1, I, 1,   0) \
    X(dmsSignType,                    N, 57,    1, I, 1,   0) \
    X(dmsBeaconType,                  N, 58,    1, I, 1,   0) \
    X(vmsCharacterHeightPixels,       N, 60,    1, I, 1,   0) \
    X(vmsCharacterWidthPixels,        N, 61,    1, I, 1,   0) \
    X(vmsSignHeightPixels,            N, 62,    2, I, 1,   0) \
    X(vmsSignWidthPixels,             N, 64,    2, I, 1,   0) \
    X(vmsHorizontalPitch,             N, 66,    1, I, 1,   0) \
    X(vmsVerticalPitch,               N, 67,    1, I, 1,   0) \
    X(monochromeColor,                N, 68,    4, S, 1,   0) \
    /* font table, 20 slots, and character table, 20 x 255 */ \
    X(fontNumber,                     N, 72,    1, I, 20,  0) \
    X(fontName,                       N, 92,    4, S, 20,  0) \
    X(fontHeight,                     N, 172,   1, I, 20,  0) \
    X(fontCharSpacing,                N, 192,   1, I, 20,  0) \
    X(fontLineSpacing,                N, 212,   1, I, 20,  0) \
    X(fontVersionID,                  N, 232,   2, I, 20,  0) \
    X(characterWidth,                 N, 272,   1, I, 5100, 0) \
    X(characterBitmap,                N, 5372,  4, S, 5100, 0) \
    /* MULTI defaults */ \
    X(defaultBackgroundColor,         N, 25772, 1, I, 1,   0) \
    X(defaultForegroundColor,         N, 25773, 1, I, 1,   0) \
    X(defaultFlashOn,                 N, 25774, 1, I, 1,   0) \
    X(defaultFlashOff,                N, 25775, 1, I, 1,   0) \
    X(defaultFont,                    N, 25776, 1, I, 1,   0) \
    X(defaultJustificationLine,       N, 25777, 1, I, 1,   0) \
    X(defaultJustificationPage,       N, 25778, 1, I, 1,   0) \
    X(defaultPageOnTime,              N, 25779, 1, I, 1,   0) \
    X(defaultPageOffTime,             N, 25780, 1, I, 1,   0) \
    X(defaultCharacterSet,            N, 25781, 1, I, 1,   0) \
    X(dmsValidateMessageError,        N, 25790, 1, I, 1,   0) \
    /* message table, 600 rows (changeable 1-500, permanent 501-600) */ \
    X(dmsMessageMultiString,          N, 25792, 4, S, 600, 0) \
    X(dmsMessageOwner,                N, 28192, 4, S, 600, 0) \
    X(dmsMessageCRC,                  N, 30592, 2, I, 600, 0) \
    X(dmsMessageBeacon,               N, 31792, 1, I, 600, 0) \
    X(dmsMessagePixelService,         N, 32392, 1, I, 600, 0) \
    X(dmsMessageRunTimePriority,      N, 32992, 1, I, 600, 0) \
    X(dmsMessageStatus,               N, 33592, 1, I, 600, 0) \
    /* schedule and current-buffer message rows */ \
    X(scheduleMessageMultiString,     N, 34192, 4, S, 1,   0) \
    X(scheduleMessageOwner,           N, 34196, 4, S, 1,   0) \
    X(scheduleMessageCRC,             N, 34200, 2, I, 1,   0) \
    X(scheduleMessageBeacon,          N, 34202, 1, I, 1,   0) \
    X(scheduleMessagePixelService,    N, 34203, 1, I, 1,   0) \
    X(scheduleMessageRunTimePriority, N, 34204, 1, I, 1,   0) \
    X(scheduleMessageStatus,          N, 34205, 1, I, 1,   0) \
    X(currentBufferMultiString,       N, 34208, 4, S, 1,   0) \
    X(currentBufferOwner,             N, 34212, 4, S, 1,   0) \
    X(currentBufferCRC,               N, 34216, 2, I, 1,   0) \
    X(currentBufferBeacon,            N, 34218, 1, I, 1,   0) \
    X(currentBufferPixelService,      N, 34219, 1, I, 1,   0) \
    X(currentBufferRunTimePriority,   N, 34220, 1, I, 1,   0) \
    X(currentBufferStatus,            N, 34221, 1, I, 1,   0) \
    /* sign control */ \
    X(dmsSWReset,                     N, 34224, 1, I, 1,   0) \
    X(dmsMessageTimeRemaining,        N, 34226, 2, I, 1,   0) \
    X(dmsMsgTableSource,              N, 34228, 4, S, 1,   0) \
    X(dmsMsgRequesterID,              N, 34232, 4, I, 1,   0) \
    X(dmsMsgSourceMode,               N, 34236, 1, I, 1,   0) \
    X(dmsShortPowerRecoveryMessage,   N, 34240, 4, S, 1,   0) \
    X(dmsLongPowerRecoveryMessage,    N, 34244, 4, S, 1,   0) \
    X(dmsShortPowerLossTime,          N, 34248, 2, I, 1,   0) \
    X(dmsResetMessage,                N, 34252, 4, S, 1,   0) \
    X(dmsCommunicationsLossMessage,   N, 34256, 4, S, 1,   0) \
    X(dmsTimeCommLoss,                N, 34260, 2, I, 1,   0) \
    X(dmsPowerLossMessage,            N, 34264, 4, S, 1,   0) \
    X(dmsEndDurationMessage,          N, 34268, 4, S, 1,   0) \
    X(dmsActivateMsgError,            N, 34272, 1, I, 1,   0) \
    X(dmsMultiSyntaxError,            N, 34273, 1, I, 1,   0) \
    X(dmsMultiSyntaxErrorPosition,    N, 34274, 2, I, 1,   0) \
    X(dmsMultiOtherErrorDescription,  N, 34276, 4, S, 1,   0) \
    /* schedule action table, 255 rows */ \
    X(dmsActionMsgCode,               N, 34292, 4, S, 255, 0) \
    /* illumination */ \
    X(dmsIllumControl,                N, 34280, 1, I, 1,   0) \
    X(dmsIllumManLevel,               N, 34281, 1, I, 1,   0) \
    X(dmsIllumBrightnessValues,       N, 34284, 4, S, 1,   0) \
    X(dmsIllumBrightnessValuesError,  N, 34288, 1, I, 1,   0) \
    X(dmsIllumLightOutputStatus,      N, 34290, 2, I, 1,   0) \
    X(dmsCurrentSpeedLimit,           N, 35312, 1, I, 1,   0) \
    X(watchdogFailureCount,           N, 35316, 4, I, 1,   0) \
    /* graphics, 50 rows, and their bitmap blocks, 63 per graphic */ \
    X(dmsGraphicNumber,               N, 35320, 1, I, 50,  0) \
    X(dmsGraphicName,                 N, 35372, 4, S, 50,  0) \
    X(dmsGraphicHeight,               N, 35572, 1, I, 50,  0) \
    X(dmsGraphicWidth,                N, 35622, 2, I, 50,  0) \
    X(dmsGraphicType,                 N, 35722, 1, I, 50,  0) \
    X(dmsGraphicID,                   N, 35772, 2, I, 50,  0) \
    X(dmsGraphicTransparentEnabled,   N, 35872, 1, I, 50,  0) \
    X(dmsGraphicTransparentColor,     N, 35924, 4, S, 50,  0) \
    X(dmsGraphicStatus,               N, 36124, 1, I, 50,  0) \
    X(dmsGraphicBlockBitmap,          N, 36176, 4, S, 3150, 0) \
    /* global block */ \
    X(chapName,                       N, 48784, 4, S, 1,   0) \
    X(chapSecret,                     N, 48788, 4, S, 1,   0) \
    X(pmppConfigWord,                 N, 48792, 2, I, 1,   0) \
    X(maxGroupAddresses,              N, 48794, 1, I, 1,   0) \
    X(pmppGroupAddress,               N, 48796, 4, I, 10,  0) \
    X(globalSetIDParameter,           N, 48836, 4, I, 1,   0) \
    X(globalTime,                     N, 48840, 4, I, 1,   0) \
    X(globalDaylightSaving,           N, 48844, 1, I, 1,   0) \
    X(globalLocalTimeDifferential,    N, 48848, 4, I, 1,   0) \
    X(controllerStandardTimeZone,     N, 48852, 4, I, 1,   0) \
    X(dstBeginMonth,                  N, 48856, 1, I, 10,  0) \
    X(dstBeginOccurrences,            N, 48866, 1, I, 10,  0) \
    X(dstBeginDayOfWeek,              N, 48876, 1, I, 10,  0) \
    X(dstBeginDayOfMonth,             N, 48886, 1, I, 10,  0) \
    X(dstBeginSecondsToTransition,    N, 48896, 4, I, 10,  0) \
    X(dstEndMonth,                    N, 48936, 1, I, 10,  0) \
    X(dstEndOccurrences,              N, 48946, 1, I, 10,  0) \
    X(dstEndDayOfWeek,                N, 48956, 1, I, 10,  0) \
    X(dstEndDayOfMonth,               N, 48966, 1, I, 10,  0) \
    X(dstEndSecondsToTransition,      N, 48976, 4, I, 10,  0) \
    X(dstSecondsToAdjust,             N, 49016, 2, I, 10,  0) \
    X(maxTimeBaseScheduleEntries,     N, 49036, 2, I, 1,   0) \
    X(maxDayPlans,                    N, 49038, 1, I, 1,   0) \
    X(maxDayPlanEvents,               N, 49039, 1, I, 1,   0) \
    X(dayPlanStatus,                  N, 49040, 1, I, 1,   0) \
    X(timeBaseScheduleMonth,         N, 49044, 2, I, 29, 0) \
    X(timeBaseScheduleDay,           N, 49102, 1, I, 29, 0) \
    X(timeBaseScheduleDate,          N, 49132, 4, I, 29, 0) \
    X(timeBaseScheduleDayPlan,       N, 49248, 1, I, 29, 0) \
    X(dayPlanHour,                   N, 49280, 1, I, 480, 0) \
    X(dayPlanMinute,                 N, 49760, 1, I, 480, 0) \
    X(dayPlanActionNumberOID,        N, 50240, 4, S, 480, 0) \
    X(eventConfigClass,              N, 52160, 1, I, 60, 0) \
    X(eventConfigMode,               N, 52220, 1, I, 60, 0) \
    X(eventConfigCompareValue,       N, 52280, 4, I, 60, 0) \
    X(eventConfigCompareValue2,      N, 52520, 4, I, 60, 0) \
    X(eventConfigCompareOID,         N, 52760, 4, S, 60, 0) \
    X(eventConfigLogOID,             N, 53000, 4, S, 60, 0) \
    X(eventConfigAction,             N, 53240, 1, I, 60, 0) \
    X(eventLogID,                    N, 53300, 2, I, 4080, 0) \
    X(eventLogTime,                  N, 61460, 4, I, 4080, 0) \
    X(eventLogValue,                 N, 77780, 4, S, 4080, 0) \
    X(eventClassLimit,                N, 94100, 1, I, 16,  0) \
    X(eventClassClearTime,            N, 94116, 4, I, 16,  0) \
    X(eventClassDescription,         N, 94180, 4, S, 16, 0) \
    X(eventClassNumRowsInLog,        N, 94244, 1, I, 16, 0) \
    X(communityNameAdmin,             N, 94260, 4, S, 1,   0) \
    X(communityNameUser,              N, 94264, 4, S, 100, 0) \
    X(communityNameAccessMask,        N, 94664, 4, I, 100, 0) \
    X(auxIOPortDescription,           N, 95064, 4, S, 136, 0) \
    /* bren block: the maker's private objects */ \
    X(displayTestMode,                N, 95616, 1, I, 1,   0) \
    X(brenIllumBrightnessScaler,      N, 95620, 1, I, 1,   0) \
    X(brenIllumBrightnessScaler2,     N, 95621, 1, I, 1,   0) \
    X(brenShutOffTemp,                N, 95623, 1, I, 1,   0) \
    X(brenMessageReference,           N, 95624, 4, S, 1,   0) \
    X(messageStoreSplit,              N, 95628, 1, I, 1,   0) \
    X(brenModuleID,                   N, 95630, 2, I, 1,   0) \
    X(brenEnableRealTimePixelDiagnostics, N, 95632, 1, I, 1, 0) \
    X(brenhdlcAddress,                N, 95636, 4, I, 1,   0) \
    X(brenLCDAdminPassword,           N, 95640, 4, I, 1,   0) \
    X(brenLegibilityRatioThreshold,   N, 95644, 1, I, 1,   0) \
    X(brenModTimeout,                 N, 95646, 2, I, 1,   0) \
    X(brenLightSensorScale,           N, 95648, 1, I, 4,   0) \
    X(brenHeartBeatThreshold,         N, 95652, 2, I, 1,   0) \
    X(brenSpecialFeatureSet,          N, 95656, 4, I, 1,   0) \
    X(brenRemoteIPAddress,            N, 95660, 4, I, 1,   0) \
    X(brenRemoteIPPort,               N, 95664, 2, I, 1,   0) \
    X(brenHostIPPort,                 N, 95666, 2, I, 1,   0) \
    X(brenHostHttpPort,               N, 95668, 2, I, 1,   0) \
    X(brenEthernetMode,               N, 95670, 1, I, 1,   0) \
    X(brenNTPIPAddress,               N, 95672, 4, I, 1,   0) \
    X(brenNTPText,                    N, 95676, 4, S, 1,   0) \
    X(brenNTPPollTime,                N, 95680, 2, I, 1,   0) \
    X(brenDisplayRate,                N, 95682, 1, I, 1,   0) \
    X(brenDisplayOptions,             N, 95683, 1, I, 1,   0) \
    X(scriptFileTrigger,              N, 95685, 1, I, 1,   0) \
    X(storedMessageReference,         N, 95688, 4, S, 1,   0) \
    X(storedActivateMessage,          N, 95692, 4, S, 1,   0) \
    X(brenCANBaudRate,                N, 95696, 1, I, 1,   0) \
    X(brenCANMaxLineLength,           N, 95697, 1, I, 1,   0) \
    X(brenFeatureSet,                 N, 95700, 4, I, 1,   0) \
    X(brenLatitude,                   N, 95704, 4, I, 1,   0) \
    X(brenLongitude,                  N, 95708, 4, I, 1,   0) \
    X(brenControllerSerialNum,        N, 95712, 4, I, 1,   0) \
    X(brenSignSerialNum,              N, 95716, 4, I, 1,   0) \
    X(brenTBSCBayHeightInModules,     N, 95720, 1, I, 1,   0) \
    X(brenTBSCBayWidthInModules,      N, 95721, 1, I, 1,   0) \
    X(brenLineLength,                 N, 95722, 1, I, 9,   0) \
    X(litPixelRowCount,               N, 95732, 1, I, 1,   0) \
    X(litPixelSetting,                N, 95734, 2, I, 1,   0) \
    X(litPixelThreshold,              N, 95736, 1, I, 5,   0) \
    X(litPixelBrightness,             N, 95741, 1, I, 5,   0) \
    X(brenCallbackNumber,             N, 95748, 4, S, 1,   0) \
    X(brenCallbackMinTimeBetweenAttempts, N, 95752, 2, I, 1, 0) \
    X(brenCallbackMaxAttempts,        N, 95754, 1, I, 1,   0) \
    X(brenLCDPassword,                N, 95756, 4, I, 1,   0) \
    X(spareMessageReference,          N, 95760, 4, S, 2,   0) \
    X(brenInfoText1,                  N, 95768, 4, S, 1,   0) \
    X(brenInfoCounter,                N, 95772, 4, I, 1,   0) \
    X(brenInfoText2,                  N, 95776, 4, S, 1,   0) \
    X(brenCommConfigFlowControl,      N, 95780, 1, I, 5,   0) \
    X(brenCommConfigProtocol,         N, 95785, 1, I, 5,   0) \
    X(brenCommConfigTraps,            N, 95790, 1, I, 5,   0) \
    X(brenCommConfigInnerCharTimeout, N, 95796, 2, I, 5,   0) \
    X(brenCommConfigParameters,       N, 95808, 4, S, 5,   0) \
    X(brenRdiLogicalId,               N, 95828, 2, I, 1,   0) \
    X(brenRdiAck2Timeout,             N, 95830, 2, I, 1,   0) \
    X(brenRdiRetries,                 N, 95832, 1, I, 1,   0) \
    X(brenCommCommand,                N, 95833, 1, I, 1,   0) \
    X(brenPeripheralID,               N, 95836, 2, I, 255, 0) \
    X(brenPeripheralParameters,       N, 96348, 4, S, 255, 0) \
    X(brenPeripheralAuxIOTableIndex,  N, 97368, 4, S, 255, 0) \
    X(brenTrapsGeneric,               N, 98388, 1, I, 1,   0) \
    X(brenTrapsEnterpriseSpecific,    N, 98392, 4, S, 1,   0) \
    X(brenTrapsExpirationDuration,    N, 98396, 4, I, 1,   0) \
    X(switchMessageListSize,          N, 98400, 1, I, 1,   0) \
    X(switchMessageCode,              N, 98404, 4, S, 50,  0) \
    X(pixelTestChunkSize,             N, 98604, 2, I, 1,   0) \
    /* classb block: MIB-II */ \
    X(sysContact,                     N, 98616, 4, S, 1,   0) \
    X(sysName,                        N, 98620, 4, S, 1,   0) \
    X(sysLocation,                    N, 98624, 4, S, 1,   0) \
    X(ifSpeed,                        N, 98628, 4, I, 1,   0) \
    X(ipForwarding,                   N, 98640, 1, I, 1,   0) \
    X(ipDefaultTTL,                   N, 98644, 4, I, 1,   0) \
    X(ipRouteMask,                    N, 98648, 4, I, 1,   0) \
    X(rs232PortInSpeed,               N, 98652, 4, I, 5,   0) \
    /* fdot block and the sixth block */ \
    X(fdotDmsMaxPollTime,             N, 98688, 2, I, 1,   0) \
    X(fdotDmsMaxPollTimeEnable,       N, 98690, 1, I, 1,   0) \
    X(fdotMaxNumPixelFailure,         N, 98692, 4, I, 1,   0) \
    X(fdotPanelTimeout,               N, 98696, 2, I, 1,   0) \
    X(nvdotManualRun1,                N, 98708, 1, I, 1,   0) \
    X(nvdotManualRun2,                N, 98709, 1, I, 1,   0) \
    /* volatile: sign capacity and the volatile message rows */ \
    X(dmsLegend,                      V, 0,     1, I, 1,   0) \
    X(dmsSignTechnology,              V, 2,     2, I, 1,   0) \
    X(numFonts,                       V, 4,     1, I, 1,   0) \
    X(maxFontCharacters,              V, 6,     2, I, 1,   0) \
    X(dmsNumPermanentMsg,             V, 8,     2, I, 1,   0) \
    X(dmsNumChangeableMsg,            V, 10,    2, I, 1,   0) \
    X(dmsMaxChangeableMsg,            V, 12,    2, I, 1,   0) \
    X(dmsFreeChangeableMemory,        V, 16,    4, I, 1,   0) \
    X(dmsNumVolatileMsg,              V, 20,    2, I, 1,   0) \
    X(dmsMaxVolatileMsg,              V, 22,    2, I, 1,   0) \
    X(dmsFreeVolatileMemory,          V, 24,    4, I, 1,   0) \
    X(dmsMessageMultiStringVolatile,  V, 28,    4, S, 4,   0) \
    X(dmsMessageOwnerVolatile,        V, 44,    4, S, 4,   0) \
    X(dmsMessageCRCVolatile,          V, 60,    2, I, 4,   0) \
    X(dmsMessageBeaconVolatile,       V, 68,    1, I, 4,   0) \
    X(dmsMessagePixelServiceVolatile, V, 72,    1, I, 4,   0) \
    X(dmsMessageRunTimePriorityVolatile, V, 76, 1, I, 4,   0) \
    X(dmsMessageStatusVolatile,       V, 80,    1, I, 4,   0) \
    /* permanent messages 1 and 2, and the volatile copy of the current buffer */ \
    X(dmsMessageMultiStringPermanent, V, 84,    4, S, 2,   0) \
    X(dmsMessageOwnerPermanent,       V, 92,    4, S, 2,   0) \
    X(dmsMessageCRCPermanent,         V, 100,   2, I, 2,   0) \
    X(dmsMessageBeaconPermanent,      V, 104,   1, I, 2,   0) \
    X(dmsMessagePixelServicePermanent, V, 106,  1, I, 2,   0) \
    X(dmsMessageRunTimePriorityPermanent, V, 108, 1, I, 2, 0) \
    X(dmsMessageStatusPermanent,      V, 110,   1, I, 2,   0) \
    X(currentBufferMultiStringCopy,   V, 112,   4, S, 1,   0) \
    X(currentBufferOwnerCopy,         V, 116,   4, S, 1,   0) \
    X(currentBufferCRCCopy,           V, 120,   2, I, 1,   0) \
    X(currentBufferBeaconCopy,        V, 122,   1, I, 1,   0) \
    X(currentBufferPixelServiceCopy,  V, 123,   1, I, 1,   0) \
    X(currentBufferRunTimePriorityCopy, V, 124, 1, I, 1,   0) \
    X(currentBufferStatusCopy,        V, 125,   1, I, 1,   0) \
    X(dmsActivateMessage,             V, 128,   4, S, 1,   0) \
    X(dmsControlMode,                 V, 132,   1, I, 1,   0) \
    X(dmsMemoryMgmt,                  V, 133,   1, I, 1,   0) \
    X(vmsPixelServiceDuration,        V, 134,   2, I, 1,   0) \
    X(vmsPixelServiceFrequency,       V, 136,   2, I, 1,   0) \
    X(vmsPixelServiceTime,            V, 138,   2, I, 1,   0) \
    X(dmsIllumBrightLevelStatus,      V, 140,   1, I, 1,   0) \
    X(dmsIllumPhotocellLevelStatus,   V, 142,   2, I, 1,   0) \
    X(dmsIllumMaxPhotocellLevel,      V, 144,   2, I, 1,   0) \
    X(dmsIllumNumBrightLevels,        V, 146,   1, I, 1,   0) \
    X(numActionTableEntries,          V, 148,   1, I, 1,   0) \
    X(statMultiFieldRows,             V, 149,   1, I, 1,   0) \
    X(dmsCurrentSpeed,                V, 150,   1, I, 1,   0) \
    X(dmsStatDoorOpen,                V, 151,   1, I, 1,   0) \
    X(statMultiFieldCode,             V, 152,   1, I, 11,  0) \
    X(statMultiCurrentFieldValue,     V, 164,   4, S, 11,  0) \
    X(lampFailureStuckOn,             V, 208,   4, S, 1,   0) \
    X(lampFailureStuckOff,            V, 212,   4, S, 1,   0) \
    X(fanFailures,                    V, 216,   4, S, 1,   0) \
    X(shortErrorStatus,               V, 220,   2, I, 1,   0) \
    X(pixelTestActivation,            V, 222,   1, I, 1,   0) \
    X(lampTestActivation,             V, 223,   1, I, 1,   0) \
    X(fanTestActivation,              V, 224,   1, I, 1,   0) \
    X(controllerErrorStatus,          V, 225,   1, I, 1,   0) \
    X(dmsPixelFailureTestRows,        V, 228,   2, I, 1,   0) \
    X(dmsPixelFailureMessageRows,     V, 230,   2, I, 1,   0) \
    X(fdotPowerFailureMap,            V, 256,   4, S, 1,   0) \
    X(dmsPowerNumRows,                V, 260,   1, I, 1,   0) \
    X(dmsClimateCtrlStatusMap,        V, 264,   4, S, 1,   0) \
    X(dmsClimateCtrlNumRows,          V, 268,   1, I, 1,   0) \
    /* power supply status table, 300 rows, and climate-control status table, 32 rows */ \
    X(dmsPowerDescription,            V, 272,   4, S, 300, 0) \
    X(dmsPowerMfrStatus,              V, 1472,  4, S, 300, 0) \
    X(dmsPowerStatus,                 V, 2672,  1, I, 300, 0) \
    X(dmsPowerVoltage,                V, 2972,  2, I, 300, 0) \
    X(dmsPowerType,                   V, 3572,  1, I, 300, 0) \
    X(dmsClimateCtrlDescription,      V, 3872,  4, S, 32,  0) \
    X(dmsClimateCtrlMfrStatus,        V, 4000,  4, S, 32,  0) \
    X(dmsClimateCtrlErrorStatus,      V, 4128,  1, I, 32,  0) \
    X(dmsClimateCtrlOnStatus,         V, 4160,  1, I, 32,  0) \
    X(peripheralStatus,               V, 4192,  1, I, 32,  0) \
    X(dmsClimateCtrlAbortReason,      V, 4224,  4, S, 32,  0) \
    X(dmsClimateCtrlType,             V, 4352,  1, I, 32,  0) \
    X(pixelErrorPage,                 V, 4384,  4, S, 11,  0) \
    X(lightSensorLevel,               V, 4452,  2, I, 6,   0) \
    X(lightSensorStatus,              V, 4464,  1, I, 6,   0) \
    X(temperatureSensorValue,         V, 4556,  1, I, 6,   0) \
    X(temperatureSensorStatus,        V, 4562,  1, I, 6,   0) \
    /* pixel failure table: detection types 1-3, 500 slots each */ \
    X(pixelFailureXLocation,          V, 4568,  2, I, 1500, 0) \
    X(pixelFailureYLocation,          V, 7568,  2, I, 1500, 0) \
    X(pixelFailureStatus,             V, 10568, 1, I, 1500, 0) \
    X(signVolts,                      V, 12068, 2, I, 1,   0) \
    X(fuelLevel,                      V, 12070, 1, I, 1,   0) \
    X(engineRPM,                      V, 12071, 1, I, 1,   0) \
    X(lineVolts,                      V, 12072, 1, I, 1,   0) \
    X(powerSource,                    V, 12073, 1, I, 1,   0) \
    X(lowFuelThreshold,               V, 12074, 1, I, 1,   0) \
    X(tempMinCtrlCabinet,             V, 12076, 1, I, 1,   0) \
    X(tempMaxCtrlCabinet,             V, 12077, 1, I, 1,   0) \
    X(tempMinAmbient,                 V, 12078, 1, I, 1,   0) \
    X(tempMaxAmbient,                 V, 12079, 1, I, 1,   0) \
    X(tempMinSignHousing,             V, 12080, 1, I, 1,   0) \
    X(tempMaxSignHousing,             V, 12081, 1, I, 1,   0) \
    X(temperatureSensorMap,           V, 12084, 4, S, 1,   0) \
    X(secondTemperatureSensorMap,     V, 12088, 4, S, 1,   0) \
    X(dmsGraphicMaxEntries,           V, 12092, 1, I, 1,   0) \
    X(dmsGraphicNumEntries,           V, 12093, 1, I, 1,   0) \
    X(dmsGraphicMaxSize,              V, 12094, 2, I, 1,   0) \
    X(dmsGraphicBlockSize,            V, 12100, 2, I, 1,   0) \
    X(chapSecretsMax,                 V, 12104, 1, I, 1,   0) \
    X(snmpMaxPacketSize,              V, 12108, 4, I, 1,   0) \
    X(globalMaxModules,               V, 12112, 1, I, 1,   0) \
    X(moduleDeviceNode,               V, 12116, 4, S, 8,   0) \
    X(moduleMake,                     V, 12148, 4, S, 8,   0) \
    X(moduleModel,                    V, 12180, 4, S, 8,   0) \
    X(moduleVersion,                  V, 12212, 4, S, 8,   0) \
    X(moduleType,                     V, 12244, 1, I, 8,   0) \
    X(dbCreateTransaction,            V, 12252, 1, I, 1,   0) \
    X(dbErrorType,                    V, 12253, 1, I, 1,   0) \
    X(dbErrorID,                      V, 12256, 4, S, 1,   0) \
    X(dbTransactionID,                V, 12260, 1, I, 1,   0) \
    X(dbMakeID,                       V, 12261, 1, I, 1,   0) \
    X(dbVerifyStatus,                 V, 12262, 1, I, 1,   0) \
    X(dbVerifyError,                  V, 12264, 4, S, 1,   0) \
    X(controllerLocalTime,            V, 12268, 4, I, 1,   0) \
    X(maxDaylightSavingEvents,        V, 12272, 1, I, 1,   0) \
    X(maxEventLogConfigs,             V, 12274, 2, I, 1,   0) \
    X(maxEventLogSize,                V, 12276, 2, I, 1,   0) \
    X(maxEventClasses,                V, 12278, 1, I, 1,   0) \
    X(communityNamesMax,              V, 12280, 1, I, 1,   0) \
    X(auxIONumDigitalPorts,          V, 12381, 1, I, 1,  0) \
    X(auxIONumAnalogPorts,           V, 12382, 1, I, 1,  0) \
    X(auxIOPortTypeCode,             V, 12384, 1, I, 136, 0) \
    X(auxIOPortNumber,               V, 12520, 1, I, 136, 0) \
    X(auxIOPortResolution,            V, 12656, 1, I, 136, 0) \
    X(auxIOPortValue,                 V, 12792, 4, I, 136, 0) \
    X(auxIOPortDirection,            V, 13336, 1, I, 136, 0) \
    X(auxIOPortLastCommandedState,   V, 13472, 4, I, 136, 0) \
    X(communityNameIndex,             V, 12281, 1, I, 100, 0) \
    X(pixelFailureColorBits,          V, 14016, 2, I, 1500, 0) \
    /* volatile: private objects */ \
    X(brenResetCommand,               V, 17016, 1, I, 1,   0) \
    X(brenLegibilityRatio,            V, 17017, 1, I, 1,   0) \
    X(brenClimateMode,                V, 17018, 1, I, 1,   0) \
    X(brenFlashDeadSpace,             V, 17019, 1, I, 1,   0) \
    X(requestCode,                    V, 17024, 4, S, 7,   0) \
    X(requestSourceMode,              V, 17052, 1, I, 7,   0) \
    X(requestOrigin,                  V, 17059, 1, I, 7,   0) \
    X(requestExpiry,                  V, 17068, 4, I, 7,   0) \
    X(requestServedCode,              V, 17096, 4, S, 7,   0) \
    X(modemSignalLevel,               V, 17124, 2, I, 1,   0) \
    X(modemApn,                       V, 17132, 4, S, 1,   0) \
    X(modemUserId,                    V, 17136, 4, S, 1,   0) \
    X(modemPassword,                  V, 17140, 4, S, 1,   0) \
    X(modemMsl,                       V, 17144, 4, S, 1,   0) \
    X(modemMdn,                       V, 17148, 4, S, 1,   0) \
    X(modemMsid,                      V, 17152, 4, S, 1,   0) \
    X(moduleLineCount,                V, 17156, 1, I, 1,   0) \
    X(pixelPowerLimitMode,            V, 17157, 1, I, 1,   0) \
    X(brenFileTransferStatus,         V, 17160, 1, I, 1,   0) \
    X(brenFileTransferBlockSize,      V, 17162, 2, I, 1,   0) \
    X(brenFileTransferFileSize,       V, 17164, 4, I, 1,   0) \
    X(brenFileTransferBlockNumber,    V, 17168, 2, I, 1,   0) \
    X(brenFileTransferBlock,          V, 17172, 4, S, 1,   0) \
    X(brenFileTransferBlockCrc,       V, 17176, 2, I, 1,   0) \
    X(brenPixelFailureCountType3,     V, 17180, 2, I, 1,   0) \
    X(brenPixelFailureCountType2,     V, 17182, 2, I, 1,   0) \
    X(brenSensorPercent,              V, 17184, 1, I, 3,   0) \
    X(activationOrigin,               V, 17188, 1, I, 1,   0) \
    X(illumRequestedLevel,            V, 17189, 1, I, 1,   0) \
    X(illumLimitStatus,               V, 17190, 1, I, 1,   0) \
    X(brenSensorValue,                V, 17196, 2, I, 4,   0) \
    X(brenRemoteInfo,                 V, 17204, 4, I, 1,   0) \
    X(externalText,                   V, 17208, 4, S, 1,   0) \
    X(portCount,                      V, 17212, 1, I, 1,   0) \
    X(portType,                       V, 17213, 1, I, 5,   0) \
    X(brenPeripheralListEdit,         V, 17218, 1, I, 1,   0) \
    X(brenPeripheralListSize,         V, 17220, 2, I, 1,   0) \
    X(peripheralListStatus,           V, 17222, 1, I, 255, 0) \
    X(brenPeripheralCount,            V, 17478, 2, I, 1,   0) \
    X(pixelTestSlotsInUse,            V, 17480, 1, I, 1,   0) \
    X(pixelTestFaceCount,             V, 17481, 1, I, 1,   0) \
    X(pixelTestSlotName,              V, 17484, 4, S, 26,  0) \
    X(pixelTestSlotRows,              V, 17588, 1, I, 26,  0) \
    X(pixelTestSlotColumns,           V, 17614, 2, I, 26,  0) \
    X(pixelTestSlotDepth,             V, 17666, 1, I, 26,  0) \
    X(pixelTestSlotType,              V, 17692, 1, I, 26,  0) \
    X(pixelTestSlotFace,              V, 17718, 1, I, 26,  0) \
    X(pixelTestSlotDimension,         V, 17744, 4, S, 26,  0) \
    X(pixelTestResultChunk,           V, 17848, 4, S, 1638, 0) \
    X(pixelTestFaceFirstSlot,         V, 24400, 1, I, 2,   0) \
    X(pixelTestFaceLastSlot,          V, 24402, 1, I, 2,   0) \
    /* volatile: MIB-II and counters */ \
    X(sysDescr,                       V, 24404, 4, S, 1,   0) \
    X(sysObjectID,                    V, 24408, 4, S, 1,   0) \
    X(sysServices,                    V, 24416, 1, I, 1,   0) \
    X(ifNumber,                       V, 24420, 4, I, 1,   0) \
    X(ifPhysAddress,                  V, 24440, 4, S, 1,   0) \
    X(ipAdEntAddr,                    V, 24580, 4, I, 1,   0) \
    X(ipAdEntNetMask,                 V, 24588, 4, I, 1,   0) \
    X(ipRouteDest,                    V, 24600, 4, I, 1,   0) \
    X(ipRouteType,                    V, 24628, 1, I, 1,   0) \
    X(ipRouteProto,                   V, 24629, 1, I, 1,   0) \
    X(ipRouteInfo,                    V, 24640, 4, S, 1,   0) \
    X(dot3StatsIndex,                 V, 24660, 4, I, 1,   0) \
    X(dot3StatsEtherChipSet,          V, 24712, 4, S, 1,   0) \
    X(rs232Number,                    V, 24904, 4, I, 1,   0) \
    X(snmpInPkts,                     V, 24996, 4, I, 1,   0) \
    X(snmpOutPkts,                    V, 25000, 4, I, 1,   0) \
    X(snmpInBadVersions,              V, 25004, 4, I, 1,   0) \
    X(snmpInBadCommunityNames,        V, 25008, 4, I, 1,   0) \
    X(snmpInBadCommunityUses,         V, 25012, 4, I, 1,   0) \
    X(snmpInTooBigs,                  V, 25020, 4, I, 1,   0) \
    X(snmpInNoSuchNames,              V, 25024, 4, I, 1,   0) \
    X(snmpInBadValues,                V, 25028, 4, I, 1,   0) \
    X(snmpInReadOnlys,                V, 25032, 4, I, 1,   0) \
    X(snmpInGenErrs,                  V, 25036, 4, I, 1,   0) \
    X(snmpInGetRequests,              V, 25040, 4, I, 1,   0) \
    X(snmpInGetNexts,                 V, 25044, 4, I, 1,   0) \
    X(snmpInSetRequests,              V, 25048, 4, I, 1,   0) \
    X(snmpInGetResponses,             V, 25052, 4, I, 1,   0) \
    X(snmpOutBadValues,               V, 25068, 4, I, 1,   0) \
    X(snmpOutGenErrs,                 V, 25072, 4, I, 1,   0) \
    X(snmpEnableAuthenTraps,          V, 25096, 4, I, 1,   0) \
    X(fdotLogFullLatch,               V, 25100, 1, I, 1,   0) \
    X(nvdotOutputState1,              V, 25104, 1, I, 1,   0) \
    X(nvdotOutputState2,              V, 25105, 1, I, 1,   0) \
    X(nvdotStatusByte,                V, 25108, 4, S, 1,   0) \
    X(nvdotSupplyStatus,              V, 25112, 4, S, 1,   0) \
    X(pixelErrorBlankedMessage,       V, 25116, 4, S, 1,   0) \
    X(badCommunityCount,              V, 25120, 4, I, 1,   0) \
    X(moduleErrorBitmap,              V, 25124, 4, S, 1,   0) \
    /* the 1206.3.16 branch: storage that only its rows read and write */ \
    X(ledstarConfigBytes,             V, 25128, 1, I, 4,   0) \
    X(ledstarConfigText,              V, 25132, 4, S, 1,   0) \
    X(ledstarConfigSettings,          V, 25136, 1, I, 11,  0) \
    X(ledstarConfigColumn2,           V, 25148, 1, I, 5,   0) \
    X(ledstarConfigColumn3,           V, 25153, 1, I, 5,   0) \
    X(ledstarExtraFlag,               V, 25160, 1, I, 1,   0) \
    X(ledstarExtraWord,               V, 25164, 4, I, 1,   0) \
    X(ledstarExtraTexts,              V, 25168, 4, S, 3,   0) \
    X(ledstarExtraValue,              V, 25180, 4, I, 1,   0) \
    X(controllerStatusFlags,          V, 25184, 4, I, 1,   0) \
    X(ledstarExtraSettings,           V, 25188, 4, I, 2,   0) \
    X(ledstarStatusWord,              V, 25196, 4, I, 1,   0) \
    X(ledstarLightReadings,           V, 25200, 1, I, 3,   0) \
    X(ledstarStatusText,              V, 25204, 4, S, 1,   0) \
    X(ledstarStatusByte,              V, 25208, 1, I, 1,   0) \
    X(daylightTimeStatus,             V, 25209, 1, I, 1,   0) \
    X(ledstarStatusCode,              V, 25210, 1, I, 1,   0) \
    X(ledstarStatusNote,              V, 25212, 4, S, 1,   0) \
    X(ledstarStatusCounts,            V, 25216, 1, I, 3,   0) \
    X(ledstarStatusRemark,            V, 25220, 4, S, 1,   0) \
    X(ledstarStatusLevel,             V, 25224, 1, I, 1,   0) \
    X(ledstarCubeColumn4,             V, 25228, 1, I, 150, 0) \
    X(ledstarCubeColumn5,             V, 25378, 1, I, 150, 0) \
    X(ledstarCubeColumn6,             V, 25528, 4, S, 150, 0) \
    X(ledstarPowerColumn2,            V, 26128, 1, I, 5,   0) \
    X(ledstarPowerColumn3,            V, 26133, 1, I, 5,   0) \
    X(ledstarPowerColumn4,            V, 26138, 1, I, 5,   0) \
    X(ledstarPowerSpare,              V, 26143, 1, I, 5,   0) \
    X(ledstarPowerColumn6,            V, 26148, 1, I, 5,   0) \
    X(ledstarGridColumn3,             V, 26156, 4, S, 25,  0) \
    X(ledstarTextColumn2,             V, 26256, 4, S, 5,   0) \
    X(essLatitude,                    V, 26276, 4, I, 1,   0) \
    X(essLongitude,                   V, 26280, 4, I, 1,   0) \
    X(essVehicleBearing,              V, 26284, 2, I, 1,   0)
// clang-format on

namespace dbo {
#define DMS_DB_IMAGE_N DbImage::kNv
#define DMS_DB_IMAGE_V DbImage::kVolatile
#define DMS_DB_KIND_I DbKind::kInteger
#define DMS_DB_KIND_S DbKind::kString
#define DMS_DB_DECLARE(name, image, id, width, kind, rows, stride)                                 \
    inline constexpr DbObject name{id,   DMS_DB_IMAGE_##image,          width, DMS_DB_KIND_##kind, \
                                   rows, (stride) ? (stride) : (width), #name};
DMS_DB_OBJECTS(DMS_DB_DECLARE)
#undef DMS_DB_DECLARE

#define DMS_DB_ENTRY(name, image, id, width, kind, rows, stride) name,
// Every object of the catalogue, in declaration order.
inline constexpr DbObject kAll[] = {DMS_DB_OBJECTS(DMS_DB_ENTRY)};
#undef DMS_DB_ENTRY
#undef DMS_DB_IMAGE_N
#undef DMS_DB_IMAGE_V
#undef DMS_DB_KIND_I
#undef DMS_DB_KIND_S

// Objects known under a second name: the MIB's name beside the one other modules use.
inline constexpr const DbObject& dmsPowerFailureStatusMap = fdotPowerFailureMap;
inline constexpr const DbObject& dmsClimateCtrlTestActivation = peripheralStatus;

// The catalogue entry with this name, or null.
constexpr const DbObject* Find(const char* name) {
    for (const DbObject& object : kAll) {
        const char* a = object.name;
        const char* b = name;
        while (*a != '\0' && *a == *b) {
            ++a;
            ++b;
        }
        if (*a == *b) {
            return &object;
        }
    }
    return nullptr;
}
}  // namespace dbo
