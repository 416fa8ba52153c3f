#pragma once
// Letter ids: the one vocabulary of letters between the tasks.

#include <cstdint>

enum LetterId : uint32_t {
    kLetterNone = 0,
    // Sign output driver off / on (display); bit 0 of the peripheral option byte set / cleared.
    kLetterOutputDisable = 1,
    kLetterOutputEnable = 2,
    kLetterPeripheralOption1Set = 3,
    kLetterPeripheralOption1Clear = 4,
    kLetterPeripheral5 = 5,
    // Clear event-log class 0..15 (ids 6..21).
    kLetterEventLogClearClassFirst = 6,
    kLetterEventLogClearClassLast = 21,
    kLetterEventLogLimitsChanged = 22,
    kLetterLampTestActivation = 23,
    kLetterMessageStoreSplit = 24,
    kLetterObjectsRestored = 25,
    kLetterPeripheral26 = 26,
    kLetterPeripheral29 = 29,
    kLetterPeripheral30 = 30,
    kLetterPixelDiagnosticsEnable = 31,
    kLetterTrapClientConnected = 32,
    kLetterTrapClientLeft = 33,
    kLetterBrightnessTableChanged = 34,
    kLetterNetworkUp = 35,
    kLetterNetworkSettingsChanged = 36,

    kLetterMonitorTerminate = 37,
    kLetterMonitorSuspend = 38,
    kLetterMonitorResume = 39,
    kLetterMonitorStackReport = 40,
    kLetterMonitorSupervisionStart = 41,
    kLetterMonitorKick = 42,
    kLetterMonitorSupervisionStop = 43,

    kLetterDisplayTerminate = 44,
    kLetterDisplaySuspend = 45,
    kLetterDisplayResume = 46,
    kLetterDisplayStackReport = 47,
    kLetterDisplaySupervisionStart = 48,
    kLetterDisplayKick = 49,
    kLetterDisplaySupervisionStop = 50,

    kLetterPeripheralClass1Disable = 51,
    kLetterPeripheralClass1Enable = 52,

    kLetterScheduleTerminate = 53,
    kLetterScheduleSuspend = 54,
    kLetterScheduleResume = 55,
    kLetterScheduleStackReport = 56,
    kLetterScheduleSupervisionStart = 57,
    kLetterScheduleKick = 58,
    kLetterScheduleSupervisionStop = 59,

    kLetterPeripheralTerminate = 60,
    kLetterPeripheralSuspend = 61,
    kLetterPeripheralResume = 62,
    kLetterPeripheralStackReport = 63,
    kLetterPeripheralSupervisionStart = 64,
    kLetterPeripheralKick = 65,
    kLetterPeripheralSupervisionStop = 66,

    kLetterEthernetResetReply = 67,

    kLetterDatabaseTerminate = 68,
    kLetterDatabaseSuspend = 69,
    kLetterDatabaseResume = 70,
    kLetterDatabaseStackReport = 71,

    kLetterWatchdogTerminate = 72,
    kLetterWatchdogSuspend = 73,
    kLetterWatchdogResume = 74,
    kLetterWatchdogStackReport = 75,
    kLetterWatchdogCountDown = 76,
    kLetterWatchdogStatusRequest = 77,
    kLetterWatchdogStatusReply = 78,

    // System requests.
    kLetterSystemRestart = 79,
    kLetterPowerLoss = 80,
    kLetterShutdown = 81,
    kLetterShutdownReset = 82,
    kLetterDefragRestart = 83,

    kLetterPanelIndicator4 = 84,
    kLetterPanelIndicator3 = 85,
    kLetterPanelIndicator1 = 86,
    kLetterShutOffTempChanged = 87,
    kLetterDisplay88 = 88,
    kLetterClockOffsetChanged = 89,
    kLetterTimeZoneChanged = 90,
    kLetterActivationRequest = 91,
    kLetterMacAddressChanged = 92,
    kLetterConfigObjectChanged = 93,
    kLetterConfigFileDisable = 94,
    kLetterConfigFileEnable = 95,
    kLetterFontsChanged = 96,

    kLetterCommTerminate = 97,
    kLetterCommSuspend = 98,
    kLetterCommResume = 99,
    kLetterCommStackReport = 100,
    kLetterCommSupervisionStart = 101,
    kLetterCommKick = 102,
    kLetterCommSupervisionStop = 103,
    kLetterCommNetworkStarted = 104,

    kLetterCommSetting95833 = 105,
    kLetterPortSettingsChanged = 106,
    kLetterDhcpRenew = 107,
    kLetterWatchdogOff = 108,
    kLetterWatchdogOn = 109,
    kLetterFeatureSetChanged = 110,
    kLetterListedPeripheralsDisable = 111,
    kLetterListedPeripheralsEnable = 112,
    kLetterClearPixelTestRows = 113,
    kLetterClearMessageFailureRows = 114,
    kLetterCommRequest = 115,
    kLetterCommReply = 116,
    kLetterPeripheralStatus = 117,
    kLetterScheduleClear = 118,
    kLetterSpecialFeatureSetChanged = 119,
    kLetterEthernetReset = 120,
    kLetterDisplayBroadcast = 121,
    kLetterClearPeripherals = 122,
    kLetterPixelPowerLimitMode = 123,
    kLetterModuleWork = 124,
    kLetterProgram = 126,
    kLetterPanelRefresh = 125,
    kLetterPeripheralByName = 127,
    kLetterPeripheralClass = 128,
};

// Letter word values of a broadcast letter.
constexpr uint16_t kLetterWordModule = 1;
constexpr uint16_t kLetterWordPeripheral = 2;

// Zero-terminated subscription lists of the seven tasks, in list order.
extern const uint32_t kCommunicationLetters[];
extern const uint32_t kWatchdogLetters[];
extern const uint32_t kDisplayLetters[];
extern const uint32_t kScheduleLetters[];
extern const uint32_t kPeripheralLetters[];
extern const uint32_t kDatabaseLetters[];
extern const uint32_t kMonitorLetters[];
