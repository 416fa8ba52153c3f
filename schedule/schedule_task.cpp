#include "schedule/schedule_task.h"

#include <algorithm>
#include <cstring>

#include "comm/ethernet_transports.h"
#include "comm/ntcip_ip.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/message_store.h"
#include "ntcip/send_trap.h"
#include "render/activation_request.h"
#include "render/message.h"
#include "render/msg_activation_code.h"
#include "render/msg_id_code.h"
#include "runtime/debug_print.h"
#include "runtime/letter_id.h"
#include "runtime/os_wrappers.h"
#include "runtime/task_table.h"
#include "schedule/time_base_schedule.h"

uint8_t g_TrapLinkUp = 0;

namespace {

constexpr uint32_t kSlot = 6;
constexpr uint32_t kOrigin = 2;
constexpr uint16_t kForever = 65535;
constexpr uint8_t kTopPriority = 255;
constexpr ULONG kResetCheckDelay = 40;
constexpr uint32_t kColdStart = 0;
constexpr uint32_t kWarmStart = 1;
constexpr uint32_t kColdStartSpecific = 19;
constexpr uint32_t kWarmStartSpecific = 20;
constexpr uint32_t kValid = 4;
constexpr uint32_t kSecondsPerDay = 86400;

struct StoredMessage {
    char text[CMessage::kTextSize] = {};
    uint32_t textLength = 0;
    char owner[256] = {};
    uint32_t ownerLength = 0;
    uint32_t crc = 0;
    uint32_t beacon = 0;
    uint32_t pixelService = 0;
    uint32_t status = kValid;
};

// A request through slot 6: source mode and origin first, then the code, all notified.
void Request(uint8_t memoryType, uint16_t number, uint16_t crc, uint16_t duration,
             uint32_t sourceMode) {
    CMsgActivationCode code;
    code.duration = duration;
    code.priority = kTopPriority;
    code.memoryType = memoryType;
    code.messageNumber = number;
    code.crc = crc;
    const uint8_t loopback[4] = {127, 0, 0, 1};
    std::memcpy(code.sourceAddress, loopback, sizeof loopback);
    code.Pack();
    WriteActivationRequest(g_DataBase, kSlot, sourceMode, kOrigin, code);
}

// A message ID code object (5 octets); false when it is missing or of another length.
bool ReadIdCode(const DbObject& object, uint32_t row, CMsgIDCode* out) {
    uint8_t raw[CMsgIDCode::kSize + 1] = {};
    if (g_DataBase.ReadString(object.Row(row), object.image, raw, sizeof raw) !=
        CMsgIDCode::kSize) {
        return false;
    }
    out->Unpack(raw);
    return true;
}

// The attributes of a permanent, changeable or blank message; false for any other memory type
// or a number the store does not hold.
bool FetchMessage(uint8_t memoryType, uint16_t number, StoredMessage* out) {
    using namespace message_store;
    if (memoryType != kPermanent && memoryType != kChangeable && memoryType != kBlank) {
        return false;
    }
    Location where;
    if (Locate(memoryType, number, &where) != kFound) {
        return false;
    }
    *out = StoredMessage{};
    if (!where.stored) {
        return true;  // blank: empty, CRC 0, valid
    }
    out->textLength =
        g_DataBase.ReadString(where.text, where.image, out->text, sizeof out->text - 1);
    out->textLength = std::min<uint32_t>(out->textLength, sizeof out->text - 1);
    out->ownerLength =
        g_DataBase.ReadString(where.owner, where.image, out->owner, sizeof out->owner - 1);
    out->ownerLength = std::min<uint32_t>(out->ownerLength, sizeof out->owner - 1);
    out->crc = g_DataBase.GetInt(where.crc, 2, where.image);
    out->beacon = g_DataBase.GetInt(where.beacon, 1, where.image);
    out->pixelService = g_DataBase.GetInt(where.pixelService, 1, where.image);
    out->status = g_DataBase.GetInt(where.status, 1, where.image);
    return true;
}

// The schedule message (memory type 6) := the given attributes; its run-time priority stays.
void StoreScheduleMessage(const StoredMessage& m) {
    message_store::Location where;
    message_store::Locate(message_store::kSchedule, 1, &where);
    g_DataBase.SetString(where.text, 4, m.text, m.textLength, where.image, kDbNotify);
    g_DataBase.SetString(where.owner, 4, m.owner, m.ownerLength, where.image, kDbNotify);
    g_DataBase.SetInt(where.crc, 2, m.crc, where.image, kDbNotify);
    g_DataBase.SetInt(where.beacon, 1, m.beacon, where.image, kDbNotify);
    g_DataBase.SetInt(where.pixelService, 1, m.pixelService, where.image, kDbNotify);
    g_DataBase.SetInt(where.status, 1, m.status, where.image, kDbNotify);
}

}  // namespace

CScheduleTask::CScheduleTask(PostOffice& office, TX_EVENT_FLAGS_GROUP* databaseEvents,
                             Services services)
    : CStandardTask(office, kScheduleTaskDefinition),
      databaseEvents_(databaseEvents),
      services_(std::move(services)) {
    g_TrapLinkUp = 0;
}

void CScheduleTask::Init() {
    CheckResetType(true);
    resetCheckDone_ = 1;
}

void CScheduleTask::OnLetter(letter_s& letter) {
    const uint32_t id = letter.id;
    if (id >= kLetterEventLogClearClassFirst && id <= kLetterEventLogClearClassLast) {
        logging_.ClearClass(id - kLetterEventLogClearClassFirst);
    } else if (id == kLetterEventLogLimitsChanged) {
        logging_.EnforceClassLimits();
    } else if (id == kLetterTrapClientConnected) {
        g_TrapLinkUp = 1;
    } else if (id == kLetterTrapClientLeft) {
        g_TrapLinkUp = 0;
    } else if (id == kLetterScheduleClear) {
        ResumeSchedule();
    }
}

void CScheduleTask::Work() {
    logging_.Update();
    if (resetCheckDone_ == 0) {
        return;
    }
    ULONG actual = 0;
    if (databaseEvents_ != nullptr &&
        os_event_flags_get(databaseEvents_, kEventRemoteAddress, OS_EVENT_AND_CLEAR, &actual,
                           TX_NO_WAIT) == OS_SUCCESS) {
        ApplyRemoteAddress();
    }
    ReadClock();
    if (firstCycle_ != 0) {
        firstCycle_ = 0;
    } else {
        EvaluateSchedule();
    }
}

void CScheduleTask::ApplyRemoteAddress() {
    const uint32_t address = g_DataBase.Get(dbo::brenRemoteIPAddress);
    const auto port = uint16_t(g_DataBase.Get(dbo::brenRemoteIPPort));
    g_NtcipIp.SetCentralAddress(address);
    g_NtcipIp.centralTrapPort = port;
    if (TcpClient* tcp = EthernetTcpClient()) {
        tcp_client_configure(tcp, kTrapTcpPort, address, port);
    }
    if (UdpClient* udp = EthernetUdpClient()) {
        udp_client_configure(udp, kTrapTcpPort, address, port);
    }
}

CClock* CScheduleTask::Clock() {
    if (clock_ == nullptr && services_.findClock) {
        clock_ = services_.findClock();
    }
    return clock_;
}

void CScheduleTask::ReadClock() {
    if (CClock* clock = Clock()) {
        clock->GetLocalDateTime(&localTime_);
    }
}

void CScheduleTask::BlankUnderSchedule() {
    StoreScheduleMessage(StoredMessage{});
    Request(message_store::kBlank, 255, 0, kForever, kSourceSchedule);
}

void CScheduleTask::ResumeSchedule() {
    BlankUnderSchedule();
}

void CScheduleTask::EvaluateSchedule() {
    namespace tbs = time_base_schedule;
    if (g_DataBase.Get(dbo::dmsMsgSourceMode) != kSourceSchedule) {
        return;
    }
    const int today = tbs::ChooseEntry(localTime_);
    int yesterday = -1;
    std::tm before{};
    uint32_t now = 0;
    if (DateTimeToSeconds(&localTime_, &now) && now >= kSecondsPerDay) {
        SecondsToDateTime(now - kSecondsPerDay, &before);
        yesterday = tbs::ChooseEntry(before);
    }
    if (today < 0 && yesterday < 0) {
        if (entrySeen_ != 0) {
            BlankUnderSchedule();
            entrySeen_ = 0;
        }
        return;
    }
    entrySeen_ = 1;

    uint32_t plan = tbs::DayPlanOf(today);
    uint32_t event = tbs::EventInEffect(plan, localTime_.tm_hour, localTime_.tm_min);
    if (event == 0 && yesterday >= 0) {
        plan = tbs::DayPlanOf(yesterday);
        event = tbs::EventInEffect(plan, 23, 59);
    }
    if (event == 0) {
        if (eventSeen_ != 0) {
            BlankUnderSchedule();
            eventSeen_ = 0;
        }
        return;
    }
    eventSeen_ = 1;

    const uint32_t action = tbs::ActionNumber(plan, event);
    CMsgIDCode id;
    if (action == 0 || !ReadIdCode(dbo::dmsActionMsgCode, action - 1, &id)) {
        return;
    }
    StoredMessage message;
    if (!FetchMessage(id.memoryType, id.messageNumber, &message)) {
        return;
    }
    const uint16_t crc = id.crc != 0 ? id.crc : uint16_t(message.crc);
    if (crc == g_DataBase.Get(dbo::scheduleMessageCRC)) {
        return;  // already requested
    }
    if (message.status != kValid) {
        return;
    }
    message.crc = crc;
    StoreScheduleMessage(message);
    Request(id.memoryType, id.messageNumber, crc, kForever, kSourceSchedule);
    g_DataBase.Set(dbo::dayPlanStatus, event, kDbNotify);
}

void CScheduleTask::CheckResetType(bool sendTraps) {
    const uint32_t testMode = g_DataBase.Get(dbo::displayTestMode);
    os_thread_sleep(kResetCheckDelay);

    uint32_t offTime = 0;
    if (CClock* clock = Clock()) {
        if (!clock->GetPowerOffTime(&offTime)) {
            offTime = 0;
        }
    } else {
        DebugPrint("CScheduleTask::CheckResetType: error finding clock\n");
    }

    const uint8_t kind = services_.powerUpKind ? services_.powerUpKind() : 1;
    const DbObject* messageObject = &dbo::dmsResetMessage;
    uint32_t sourceMode = kSourceReset;
    if (kind == 0) {
        if (sendTraps) {
            ntcip_send_trap(kColdStart, 0, 0, nullptr);
            ntcip_send_location_trap(kColdStartSpecific);
        }
        const uint32_t shortLoss = g_DataBase.Get(dbo::dmsShortPowerLossTime);
        if (shortLoss != 0 && offTime < shortLoss) {
            messageObject = &dbo::dmsShortPowerRecoveryMessage;
        } else {
            g_DataBase.Set(dbo::activationOrigin, kPowerLossOrigin, kDbNotify);
            messageObject = &dbo::dmsLongPowerRecoveryMessage;
        }
        sourceMode = kSourcePowerRecovery;
    } else if (kind == 1 && sendTraps) {
        ntcip_send_trap(kWarmStart, 0, 0, nullptr);
        ntcip_send_location_trap(kWarmStartSpecific);
    }

    CMsgIDCode id;
    if (!ReadIdCode(*messageObject, 0, &id)) {
        DebugPrint("CScheduleTask::CheckResetType: error null pointer\n");
    } else if (id.memoryType == message_store::kCurrentBuffer) {
        // The message that was on display, with what is left of its duration.
        uint8_t raw[CMsgActivationCode::kSize + 1] = {};
        if (g_DataBase.ReadString(dbo::storedActivateMessage.id, dbo::storedActivateMessage.image,
                                  raw, sizeof raw) == CMsgActivationCode::kSize) {
            CMsgActivationCode stored;
            stored.Unpack(raw);
            uint8_t type = stored.memoryType;
            uint16_t number = stored.messageNumber;
            uint16_t crc = stored.crc;
            uint32_t remaining = g_DataBase.Get(dbo::dmsMessageTimeRemaining);
            const uint32_t offMinutes = offTime / 60;
            const bool blank = type == message_store::kVolatile ||
                               (remaining != kForever && remaining <= offMinutes);
            if (blank) {
                type = message_store::kBlank;
                number = 1;
                crc = 0;
                remaining = kForever;
            } else if (remaining != kForever) {
                remaining -= offMinutes;
            }
            Request(type, number, crc, uint16_t(remaining), sourceMode);
        }
    } else {
        Request(id.memoryType, id.messageNumber, id.crc, kForever, sourceMode);
    }

    if (testMode != 1) {
        g_DataBase.Set(dbo::displayTestMode, testMode, kDbNotify);
    }
}
