#pragma once
// The communication task: brings the network up at the start of its thread, then every 200 ticks
// runs the file-transfer guard, its database signals and letters, port reconfiguration, the
// activity stamp, the poll-time and comm-loss checks (with the comm-loss message), the heartbeat
// reset check, SNTP, the UDP client drain, the Ethernet link and activity watch and trap
// delivery. The parts it calls go through CommTaskServices.

#include <cstdint>

#include "comm/comm_task_services.h"
#include "runtime/standard_task.h"

class comm_task : public CStandardTask {
public:
    // Object ids the task acts on.
    static constexpr uint32_t kBrenCommCommand = 95833;  // NV, 1 byte
    // "database" event bits taken each pass.
    static constexpr ULONG kCommLossTimeChanged = 0x8000;
    static constexpr ULONG kFileTransferStatusChanged = 0x8000000;
    // Bit of the task's event group that guards file work.
    static constexpr ULONG kFileOperationFlag = 0x10000;
    // Passes without a file-transfer step before the transfer is reset.
    static constexpr uint32_t kFileOperationPassLimit = 6000;
    // Quiet passes of the Ethernet controller before a soft reset, and the resets per stretch.
    static constexpr uint16_t kQuietPassLimit = 1200;
    static constexpr uint8_t kSoftResetLimit = 5;
    // Ticks after start before a failed PHY is reported.
    static constexpr uint32_t kPhyReportDelay = 500;
    static constexpr uint16_t kCommErrorBit = 0x2;
    static constexpr uint32_t kCommLossSourceMode = 12;
    static constexpr uint32_t kLocalControl = 2;

    // The database is the one set with CommSetDatabase; services may not be null.
    comm_task(PostOffice& office, TX_EVENT_FLAGS_GROUP* databaseEvents, CommTaskServices* services);
    ~comm_task() override;

    // Reference time of the heartbeat check (the globalTime handler's call).
    void SetSavedGlobalTime(uint32_t seconds) { savedGlobalTime_ = seconds; }
    uint32_t SavedGlobalTime() const { return savedGlobalTime_; }
    uint32_t LastCommTimestamp() const { return lastCommTimestamp_; }
    // 1 while no request came within fdotDmsMaxPollTime (traps and event logging keep silent).
    uint8_t PollTimeFlag() const { return pollTimeFlag_; }

    // File work of this task and of the threads that run file-transfer steps, one at a time.
    void LockFileOperation();
    void UnlockFileOperation();
    bool FileOperationRunning() const { return fileOperationRunning_ != 0; }
    // The file transfer marks its run and every step it makes.
    void SetTransferInProgress(bool on) { transferInProgress_ = on ? 1 : 0; }
    void FileTransferStepped() { fileOperationPasses_ = 0; }
    uint32_t FileOperationPasses() const { return fileOperationPasses_; }
    // One file-transfer step without the file-write part (the file-transfer objects' handler).
    void FileTransferPoll();

    // Heartbeat reset check, run every pass.
    void CommLossReset(uint32_t now);

    // Port reconfigurations run by the reconfiguration state step.
    uint32_t Reconfigurations() const { return reconfigurations_; }

    // Protocol assignment: the CCP port (PPP or PMPP) and the Ethernet channels.
    static constexpr uint32_t kCcpPpp = 1, kCcpPmpp = 2;
    static constexpr uint32_t kEthernetPmpp = 1, kEthernetPpp = 2, kEthernetUdpTcp = 4;
    static void AssignProtocols();
    static void AssignCcpProtocol(uint32_t mode);
    static void AssignEthernetProtocol(uint32_t mode);
    // Adapts the port settings and the graphic limits when the CCP code enters or leaves the
    // radio mode (14) since the last call.
    static void RdiTransition();
    static void ReconfigurePorts();
    // The reconfiguration state object: 4 -> 3; 3 -> reconfigure, then 1.
    void CheckReconfigureState();
    // The CCP code of the previous assignment forgotten (a new boot).
    static void ResetProtocolState();

protected:
    void Init() override;
    void BeforeLetters() override;
    void OnLetter(letter_s& letter) override;
    void Work() override;
    void OnTerminate() override;

private:
    void FileTransferGuard();
    void DatabaseSignals();
    void CommLossCheck(uint32_t now);
    void ActivateCommLossMessage();
    void SntpStep();
    void DrainUdpClient();
    void LinkCheck();
    void ActivityWatch();
    void DhcpRenew();
    void FeatureSetChanged();
    void SpecialFeatures();

    TX_EVENT_FLAGS_GROUP* databaseEvents_;
    CommTaskServices* services_;
    uint32_t lastCommTimestamp_ = 0;
    uint32_t savedGlobalTime_ = 0;
    uint32_t commLossMinutes_ = 0;
    uint8_t pollTimeFlag_ = 0;
    uint8_t sntpActive_ = 0;
    uint32_t sntpPasses_ = 0;
    uint32_t fileOperationPasses_ = 0;
    uint8_t transferInProgress_ = 0;
    uint8_t fileOperationRunning_ = 0;
    uint8_t firstLinkUp_ = 0;
    uint32_t lastInterruptCount_ = 0;
    uint16_t quietPasses_ = 0;
    uint8_t softResets_ = 0;
    uint32_t specialFeatures_ = 0;
    uint32_t reconfigurations_ = 0;
};

// The running task's poll-time flag (0 when there is none); read by trap delivery and, through
// its hook, by event logging.
bool CommPollTimeExceeded();
