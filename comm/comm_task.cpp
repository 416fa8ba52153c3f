#include "comm/comm_task.h"

#include "comm/comm_database.h"
#include "comm/ntcip_transports.h"
#include "database/object_ids.h"
#include "ntcip/bren_status.h"
#include "ntcip/event_logging.h"
#include "ntcip/global_objects.h"
#include "ntcip/snmp_set_staging.h"
#include "render/msg_activation_code.h"
#include "render/msg_id_code.h"
#include "runtime/debug_print.h"
#include "runtime/letter_id.h"
#include "runtime/task_table.h"

namespace {

constexpr uint32_t kLocalSlot = 6;
constexpr uint32_t kSecondModeByte = 2;
constexpr uint8_t kCurrentBuffer = 5;
constexpr uint32_t kFileTransferRunning = 6;
constexpr uint32_t kSntpFirstInterval = 30;  // passes: one minute
constexpr uint32_t kPassesPerMinute = 30;
constexpr uint32_t kUdpDatagramSize = 1500;
// Datagrams drained from the UDP client in one pass: a flood must not hold the task.
constexpr uint32_t kUdpDrainLimit = 64;
constexpr uint32_t kLinkIndicator = 5;
constexpr uint32_t kIndicatorOn = 1, kIndicatorOff = 2;
constexpr uint32_t kDhcpMode = 2;
constexpr uint32_t kHttpStopBit = 0x2;
constexpr uint32_t kLocalTimeBase = 0x20, kOpenUserCommunity = 0x40;
constexpr unsigned kSuspendedInterfaces = 8;
const char kOpenUserName[] = "tamsol";

comm_task* g_running = nullptr;

uint32_t Get(const DbObject& object, uint32_t row = 0) {
    CDataBase* db = CommDatabase();
    return db != nullptr ? db->Get(object, row) : 0;
}

void SetNotified(const DbObject& object, uint32_t value, uint32_t row = 0) {
    if (CDataBase* db = CommDatabase()) {
        db->Set(object, value, kDbNotify, row);
    }
}

uint32_t GlobalTime() {
    CDataBase* db = CommDatabase();
    const DbObject& t = dbo::globalTime;
    return db != nullptr ? db->GetRegisterTime(t.id, t.width, t.image) : 0;
}

uint32_t Distance(uint32_t a, uint32_t b) {
    return a > b ? a - b : b - a;
}

void OpenUserCommunity(uint32_t mask) {
    if (CDataBase* db = CommDatabase()) {
        db->SetText(dbo::communityNameUser, kOpenUserName, sizeof kOpenUserName - 1, kDbNotify);
        db->Set(dbo::communityNameAccessMask, mask, kDbNotify);
    }
}

void SavedGlobalTimeHook(uint32_t seconds) {
    if (g_running != nullptr) {
        g_running->SetSavedGlobalTime(seconds);
    }
}

void FileTransferPollHook() {
    if (g_running != nullptr) {
        g_running->FileTransferPoll();
    }
}

}  // namespace

bool CommPollTimeExceeded() {
    return g_running != nullptr && g_running->PollTimeFlag() != 0;
}

comm_task::comm_task(PostOffice& office, TX_EVENT_FLAGS_GROUP* databaseEvents,
                     CommTaskServices* services)
    : CStandardTask(office, kCommunicationTaskDefinition),
      databaseEvents_(databaseEvents),
      services_(services) {
    // The first pass stamps the start time.
    g_SnmpActivity = 1;
    g_running = this;
    ntcip_set_saved_global_time_hook(&SavedGlobalTimeHook);
    ntcip_set_logging_disabled_source(&CommPollTimeExceeded);
    BrenSetFileTransferPoll(&FileTransferPollHook);
}

comm_task::~comm_task() {
    if (g_running == this) {
        g_running = nullptr;
        ntcip_set_saved_global_time_hook(nullptr);
        ntcip_set_logging_disabled_source(nullptr);
        BrenSetFileTransferPoll(nullptr);
    }
}

void comm_task::Init() {
    savedGlobalTime_ = 0;
    commLossMinutes_ = Get(dbo::dmsTimeCommLoss);
    tx_event_flags_set(&events, kFileOperationFlag, TX_OR);
    DebugPrintLevel1("Initializing Ethernet\n");
    sntpActive_ = services_->StartNetwork() ? 1 : 0;
}

void comm_task::LockFileOperation() {
    ULONG actual = 0;
    // Waiting and clearing in one call: two threads can never both pass.
    tx_event_flags_get(&events, kFileOperationFlag, TX_AND_CLEAR, &actual, TX_WAIT_FOREVER);
    fileOperationRunning_ = 1;
}

void comm_task::UnlockFileOperation() {
    fileOperationRunning_ = 0;
    tx_event_flags_set(&events, kFileOperationFlag, TX_OR);
}

void comm_task::FileTransferPoll() {
    services_->FileTransferStep(false);
}

void comm_task::BeforeLetters() {
    FileTransferGuard();
    DatabaseSignals();
}

void comm_task::FileTransferGuard() {
    if (transferInProgress_ == 0) {
        return;
    }
    if (fileOperationPasses_ < kFileOperationPassLimit) {
        ++fileOperationPasses_;
    } else if (fileOperationPasses_ == kFileOperationPassLimit) {
        fileOperationPasses_ = kFileOperationPassLimit + 1;
        SetNotified(dbo::brenFileTransferStatus, 0);
    }
}

void comm_task::DatabaseSignals() {
    if (databaseEvents_ == nullptr) {
        return;
    }
    ULONG actual = 0;
    if (tx_event_flags_get(databaseEvents_, kFileTransferStatusChanged, TX_OR_CLEAR, &actual,
                           TX_NO_WAIT) == TX_SUCCESS &&
        Get(dbo::brenFileTransferStatus) == kFileTransferRunning) {
        services_->FileTransferStep(true);
    }
    if (tx_event_flags_get(databaseEvents_, kCommLossTimeChanged, TX_OR_CLEAR, &actual,
                           TX_NO_WAIT) == TX_SUCCESS) {
        commLossMinutes_ = Get(dbo::dmsTimeCommLoss);
    }
}

void comm_task::OnLetter(letter_s& letter) {
    switch (letter.id) {
        case kLetterCommSetting95833:
            CheckReconfigureState();
            break;
        case kLetterPortSettingsChanged:
            ReconfigurePorts();
            break;
        case kLetterDhcpRenew:
            DhcpRenew();
            break;
        case kLetterFeatureSetChanged:
            FeatureSetChanged();
            break;
        case kLetterCommRequest: {
            letter_s reply(kLetterCommReply);
            Office().Reply(letter, reply);
            break;
        }
        case kLetterSpecialFeatureSetChanged:
            SpecialFeatures();
            break;
        default:
            break;
    }
}

void comm_task::Work() {
    CheckReconfigureState();
    const uint32_t now = GlobalTime();
    if (g_SnmpActivity == 1) {
        lastCommTimestamp_ = now;
        g_SnmpActivity = 0;
    }
    // A clock set back must not look like a long silence.
    if (now < lastCommTimestamp_) {
        lastCommTimestamp_ = now;
    }
    if (Get(dbo::fdotDmsMaxPollTimeEnable) == 0) {
        pollTimeFlag_ = 0;
    } else {
        pollTimeFlag_ = now - lastCommTimestamp_ >= Get(dbo::fdotDmsMaxPollTime) * 60u ? 1 : 0;
    }
    CommLossCheck(now);
    CommLossReset(now);
    SntpStep();
    DrainUdpClient();
    LinkCheck();
    services_->ProcessTraps();
}

void comm_task::CommLossCheck(uint32_t now) {
    if (commLossMinutes_ == 0) {
        return;
    }
    if (Get(dbo::dmsControlMode) == kLocalControl) {
        lastCommTimestamp_ = now;
        return;
    }
    const uint32_t status = Get(dbo::shortErrorStatus);
    if (now - lastCommTimestamp_ < commLossMinutes_ * 60u) {
        if ((status & kCommErrorBit) != 0) {
            SetNotified(dbo::shortErrorStatus, status & ~uint32_t(kCommErrorBit));
        }
    } else if ((status & kCommErrorBit) == 0) {
        ActivateCommLossMessage();
        SetNotified(dbo::shortErrorStatus, Get(dbo::shortErrorStatus) | kCommErrorBit);
    }
}

void comm_task::ActivateCommLossMessage() {
    CDataBase* db = CommDatabase();
    if (db == nullptr || Get(dbo::dmsTimeCommLoss) == 0 ||
        Get(dbo::dmsControlMode) == kLocalControl) {
        return;
    }
    uint8_t raw[CMsgIDCode::kSize + 1] = {};
    const DbObject& message = dbo::dmsCommunicationsLossMessage;
    if (db->ReadString(message.id, message.image, raw, sizeof raw) != CMsgIDCode::kSize) {
        return;
    }
    CMsgIDCode id;
    id.Unpack(raw);
    CMsgActivationCode code;
    code.duration = id.memoryType == kCurrentBuffer ? uint16_t(Get(dbo::dmsMessageTimeRemaining))
                                                    : uint16_t(0xFFFF);
    code.priority = 255;
    code.memoryType = id.memoryType;
    code.messageNumber = id.messageNumber;
    code.crc = id.crc;
    const uint8_t loopback[4] = {127, 0, 0, 1};
    for (unsigned i = 0; i < 4; ++i) {
        code.sourceAddress[i] = loopback[i];
    }
    code.Pack();
    db->Set(dbo::requestSourceMode, kCommLossSourceMode, kDbNotify, kLocalSlot);
    db->Set(dbo::requestOrigin, kSecondModeByte, kDbNotify, kLocalSlot);
    db->SetText(dbo::requestCode, code.raw, CMsgActivationCode::kSize, kDbNotify, kLocalSlot);
}

void comm_task::CommLossReset(uint32_t now) {
    const uint32_t threshold = Get(dbo::brenHeartBeatThreshold);
    if (threshold == 0) {
        return;
    }
    uint32_t elapsed = Distance(lastCommTimestamp_, savedGlobalTime_);
    if (now % 10 == 0) {
        DebugPrintLevel1(
            "savedGlobalTime = %d, last_comm_timestamp = %d, time_now = %d, last_comm_timestamp "
            "- savedGlobalTime = %d, _GetNV(brenHeartBeatThreshold) = %d\n ",
            int(savedGlobalTime_), int(lastCommTimestamp_), int(now), int(elapsed), int(threshold));
    }
    if ((Get(dbo::shortErrorStatus) & kCommErrorBit) != 0) {
        DebugPrint("Comm Loss, don't reset\n");
        if (savedGlobalTime_ != 0) {  // a clock never set stays unarmed
            savedGlobalTime_ = now;
        }
        elapsed = Distance(lastCommTimestamp_, savedGlobalTime_);
        if (elapsed >= threshold) {
            elapsed = threshold / 2;
        }
    } else {
        elapsed = Distance(lastCommTimestamp_, savedGlobalTime_);
    }
    if (elapsed >= threshold && savedGlobalTime_ != 0) {
        DebugPrint(
            "Reset controller ->time_now = %d, savedGlobalTime = %d, last_comm_timestamp = %d, "
            "(last_comm_timestamp - savedGlobalTime) = %d,brenHeartBeatThreshold = %d \n",
            int(now), int(savedGlobalTime_), int(lastCommTimestamp_), int(elapsed), int(threshold));
        savedGlobalTime_ = 0;
        SetNotified(dbo::activationOrigin, 0);
        SetNotified(dbo::dmsMsgSourceMode, 1);
        SetNotified(dbo::dmsSWReset, 1);
    }
}

void comm_task::SntpStep() {
    if (sntpActive_ == 0) {
        return;
    }
    if (sntpPasses_ == 0) {
        services_->SntpSetInterval(kSntpFirstInterval);
        sntpPasses_ = 1;
    }
    if (services_->SntpPoll()) {
        services_->SntpSetInterval(Get(dbo::brenNTPPollTime) * kPassesPerMinute);
        if (sntpPasses_ == 1) {
            sntpPasses_ = 2;
        }
    }
}

void comm_task::DrainUdpClient() {
    uint8_t buffer[kUdpDatagramSize];
    for (uint32_t i = 0; i < kUdpDrainLimit; ++i) {
        if (services_->UdpClientReceive(buffer, sizeof buffer) == 0) {
            return;
        }
    }
}

void comm_task::LinkCheck() {
    const uint8_t before = services_->EthernetLinkState();
    services_->EthernetLinkCheck();
    const uint8_t after = services_->EthernetLinkState();
    if (before == 0 && after == 1) {
        if (firstLinkUp_ == 0) {
            firstLinkUp_ = 1;
        } else if (Get(dbo::brenEthernetMode) == kDhcpMode) {
            Post(kLetterDhcpRenew);
        }
    }
    if (services_->PhyFailed() && tx_time_get() > kPhyReportDelay) {
        letter_s request(kLetterEthernetReset);
        letter_s reply;
        if (Office().SendAndWait(request, reply) && reply.id == kLetterEthernetResetReply) {
            services_->EthernetReset();
        }
    }
    ActivityWatch();
    if (services_->PanelManagerPresent()) {
        services_->SetPanelIndicator(kLinkIndicator, after == 1 ? kIndicatorOn : kIndicatorOff);
    }
}

void comm_task::ActivityWatch() {
    if (!services_->EthernetInterruptSeen()) {
        return;
    }
    const uint32_t count = services_->EthernetInterruptCount();
    if (count != lastInterruptCount_) {
        lastInterruptCount_ = count;
        quietPasses_ = 0;
        softResets_ = 0;
        return;
    }
    if (++quietPasses_ < kQuietPassLimit) {
        return;
    }
    quietPasses_ = 0;
    if (softResets_ < kSoftResetLimit) {
        ++softResets_;  // held at the limit: a long silence never re-arms the resets
    }
    if (softResets_ < kSoftResetLimit) {
        DebugPrint("Ethernet soft reset\n");
        services_->EmacConfigure();
    }
}

void comm_task::DhcpRenew() {
    DebugPrint("calling nx_dhcp_force_renew\n");
    const uint32_t status = services_->DhcpForceRenew();
    if (status != 0) {
        DebugPrint("nx_dhcp_force_renew failed:%X, try to restart DHCP\n", unsigned(status));
        services_->DhcpStop();
        services_->DhcpStart();
    }
}

void comm_task::FeatureSetChanged() {
    CDataBase* db = CommDatabase();
    const uint32_t features = Get(dbo::brenFeatureSet);
    if (db != nullptr && (features & kHttpStopBit) != 0) {
        db->Set(dbo::brenFeatureSet, features & ~kHttpStopBit, 0);
        services_->HttpServerStop();
    }
}

void comm_task::SpecialFeatures() {
    const uint32_t features = Get(dbo::brenSpecialFeatureSet);
    const uint32_t set = features & ~specialFeatures_;
    const uint32_t cleared = ~features & specialFeatures_;
    if ((set & kLocalTimeBase) != 0) {
        if (CDataBase* db = CommDatabase()) {
            const DbObject& t = dbo::globalTime;
            db->SetRegisterTime(t.id, t.width, Get(dbo::controllerLocalTime), t.image, kDbNotify);
        }
        SetNotified(dbo::controllerStandardTimeZone, 0);
        OpenUserCommunity(0xFFFFFFFF);
    } else if ((cleared & kLocalTimeBase) != 0) {
        OpenUserCommunity(0);
    }
    if ((set & kOpenUserCommunity) != 0) {
        OpenUserCommunity(0xFFFFFFFF);
    } else if ((cleared & kOpenUserCommunity) != 0) {
        OpenUserCommunity(0);
    }
    specialFeatures_ = features;
}

void comm_task::OnTerminate() {
    // A thread never created is refused by the kernel and so skipped.
    for (unsigned i = 0; i < kSuspendedInterfaces; ++i) {
        CNTCIP& interface = NtcipInterface(i);
        tx_thread_suspend(&interface.agent.udp_dispatch);
        tx_thread_suspend(&interface.agent.tcp_dispatch);
        TX_THREAD* const* link = i % 2 == 0 ? interface.pmpp.threads : interface.ppp.threads;
        tx_thread_suspend(link[0]);
        tx_thread_suspend(link[1]);
    }
}
