#include "ntcip/event_logging.h"

#include <algorithm>
#include <cstring>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/event_value_writer.h"
#include "ntcip/mib_engine.h"
#include "ntcip/mib_oid.h"
#include "ntcip/report_objects.h"
#include "ntcip/send_trap.h"
#include "ntcip/snmp_engine_lock.h"
#include "runtime/crc16.h"
#include "runtime/debug_print.h"

namespace {

constexpr uint32_t kActionLog = 3;
constexpr uint32_t kCrcOptions = 7;
constexpr uint32_t kOidMaxBytes = 4 * kSnmpMaxNameLength;
constexpr uint32_t kLogFullSpecific = 17;

bool (*g_loggingDisabled)() = nullptr;

// The agent's request structure of the internal gets: about 400 KB, never on a
// task stack; used only under the engine lock.
snmp_pdu g_request;

struct Answer {
    uint8_t type = kMibTypeNoSuchObject;
    uint32_t length = 0;
    uintptr_t word = 0;  // the value, or the address of its octets
};

// Exact internal get of a stored OID value; false when the OID bytes are not a
// name (empty, ragged, over 40 sub-identifiers) or the get fails. Caller holds
// the engine lock.
bool InternalGet(const uint8_t* oid, uint32_t length, Answer* out) {
    if (oid == nullptr || length == 0 || length % 4 != 0 || length > kOidMaxBytes) {
        return false;
    }
    snmp_object& v = g_request.varbinds[0];
    BytesToOid(v.name, oid, length);
    v.name_length = length / 4;
    v.syntax = kSnmpNull;
    g_request.count = 1;
    g_request.type = kSnmpGetRequest;
    g_request.request.error_status = kSnmpNoError;
    uint32_t name_length = v.name_length;
    uint8_t access = 0;
    int status = kMibNoSuchName;
    out->type = 0;
    uintptr_t* answer = getStatPtr(&v, &name_length, &out->type, &out->length, &access, kMibGet,
                                   &g_request, 0, &status);
    if (status != kMibFound || answer == nullptr) {
        return false;
    }
    out->word = *answer;
    return true;
}

const uint8_t* Octets(const Answer& a) {
    return reinterpret_cast<const uint8_t*>(a.word);
}

uint32_t GlobalTime() {
    const DbObject& t = dbo::globalTime;
    return g_DataBase.GetRegisterTime(t.id, t.width, t.image);
}

uint32_t EntrySlot(uint32_t c, uint32_t k) {
    return kEventLogEntries * c + k;
}

uint32_t ReadOid(const DbObject& column, uint32_t row, uint8_t* out) {
    return g_DataBase.ReadString(column.Row(row), column.image, out, kOidMaxBytes + 4);
}

}  // namespace

const EventSuppressedOid kEventStartupSuppressed[kEventSuppressedOids] = {
    {{1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 9, 6, 0}, 13},
    {{1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 9, 9, 1, 0}, 14},
    {{1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 9, 9, 2, 0}, 14},
    {{1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 9, 9, 3, 0}, 14},
    {{1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 9, 9, 4, 0}, 14},
    {{1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 9, 9, 5, 0}, 14},
    {{1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 9, 9, 6, 0}, 14},
    {{1, 3, 6, 1, 4, 1, 1206, 3, 47, 5, 7, 0}, 12},
    {{1, 3, 6, 1, 4, 1, 1206, 3, 47, 5, 8, 0}, 12},
    {{1, 3, 6, 1, 4, 1, 1206, 3, 47, 5, 9, 0}, 12},
    {{1, 3, 6, 1, 4, 1, 1206, 3, 6, 11, 1, 0}, 12},
    {{1, 3, 6, 1, 4, 1, 1206, 3, 35, 2, 0}, 11},
    {{1, 3, 6, 1, 4, 1, 1206, 3, 35, 4, 0}, 11},
};

void ntcip_set_logging_disabled_source(bool (*source)()) {
    g_loggingDisabled = source;
}

CEventLogging::CEventLogging() = default;

void CEventLogging::Update() {
    Process();
    CheckLogFull();
}

void CEventLogging::Process() {
    if (countdown_ != 0) {
        --countdown_;
    }
    const uint32_t now = GlobalTime();
    for (uint32_t i = 0; i < kConfigs; ++i) {
        if (g_DataBase.Get(dbo::eventConfigAction, i) != kActionLog) {
            continue;
        }
        if (countdown_ != 0 && Suppressed(i)) {
            continue;
        }
        Evaluate(i, now);
    }
}

bool CEventLogging::Suppressed(uint32_t i) const {
    uint8_t oid[kOidMaxBytes + 4];
    const uint32_t length = ReadOid(dbo::eventConfigCompareOID, i, oid);
    for (const EventSuppressedOid& entry : kEventStartupSuppressed) {
        if (OidEquals(oid, length, entry) == 1) {
            return true;
        }
    }
    return false;
}

int CEventLogging::OidEquals(const uint8_t* oid, uint32_t length, const EventSuppressedOid& entry) {
    if (oid == nullptr || length % 4 != 0 || length > kOidMaxBytes) {
        return 0;
    }
    uint32_t subids[kSnmpMaxNameLength];
    BytesToOid(subids, oid, length);
    uint32_t taken = 0;
    while (taken < length / 4) {
        if (subids[taken++] == 0) {
            break;
        }
    }
    if (taken != entry.count) {
        return 0;
    }
    return std::equal(subids, subids + taken, entry.subids) ? 1 : 0;
}

void CEventLogging::ResetHold(Slot& slot) {
    slot.armed = 1;
    slot.accumulated = 0;
    slot.last_time = 0;
}

bool CEventLogging::HeldLongEnough(Slot& slot, uint32_t hold_tenths, uint32_t now) {
    if (slot.last_time != 0) {
        slot.accumulated += now - slot.last_time;
    }
    slot.last_time = now;
    const auto hold = static_cast<uint32_t>(static_cast<int32_t>(hold_tenths) / 10);
    return hold <= slot.accumulated && slot.armed != 0;
}

void CEventLogging::Evaluate(uint32_t i, uint32_t now) {
    static const char* const kFailed[] = {
        "CEventLoggging::Process: on change, failed to get value\n",
        "CEventLogging::Process: > value, failed to get value\n",
        "CEventLogging::Process: < value, failed to get value\n",
        "CEventLogging::Process: hysteresis bound, failed to get value\n",
        nullptr,
        "CEventLogging::Process: < value, failed to get value\n",
    };
    const uint32_t mode = g_DataBase.Get(dbo::eventConfigMode, i);
    if (mode < 2 || mode > 7) {
        return;
    }
    Slot& s = slots_[i];
    const uint32_t cv1 = g_DataBase.Get(dbo::eventConfigCompareValue, i);
    const uint32_t cv2 = g_DataBase.Get(dbo::eventConfigCompareValue2, i);
    if (mode == 6) {
        static_cast<void>(HeldLongEnough(s, 0, now));
        if (cv1 <= s.accumulated) {
            Log(i);
            s.accumulated = 0;
        }
        return;
    }
    uint8_t oid[kOidMaxBytes + 4];
    const uint32_t length = ReadOid(dbo::eventConfigCompareOID, i, oid);
    int failed = 1;
    const uint32_t v = GetCompareValue(oid, length, &failed);
    if (failed != 0) {
        DebugPrintLevel1("%s", kFailed[mode - 2]);
        return;
    }
    const auto sv = static_cast<int32_t>(v);
    bool condition = false;
    switch (mode) {
        case 2:
            if (s.armed != 0) {
                DebugPrintLevel1("dwPrior:%d, dwValue:%d\n", static_cast<int>(s.prior),
                                 static_cast<int>(v));
                s.armed = 0;
            } else if (v != s.prior) {
                Log(i);
            }
            s.prior = v;
            return;
        case 5: {
            const int32_t low = std::min(static_cast<int32_t>(cv1), static_cast<int32_t>(cv2));
            const int32_t high = std::max(static_cast<int32_t>(cv1), static_cast<int32_t>(cv2));
            if (sv < low || sv > high) {
                if (s.armed != 0) {
                    Log(i);
                    s.armed = 0;
                }
            } else {
                s.armed = 1;
            }
            return;
        }
        case 3:
            condition = sv > static_cast<int32_t>(cv1);
            break;
        case 4:
            condition = sv < static_cast<int32_t>(cv1);
            break;
        default:  // 7
            condition = (v & cv1) != 0;
            break;
    }
    if (!condition) {
        ResetHold(s);
    } else if (HeldLongEnough(s, cv2, now)) {
        Log(i);
        s.armed = 0;
    }
}

uint32_t CEventLogging::GetCompareValue(const uint8_t* oid, uint32_t length, int* failed) {
    *failed = 1;
    snmp_engine_lock("CEventLogging");
    Answer a;
    uint32_t value = 0;
    if (InternalGet(oid, length, &a)) {
        switch (a.type) {
            case kMibTypeInteger:
            case kMibTypeCounter:
            case kMibTypeGauge:
            case kMibTypeTimeTicks:
                value = static_cast<uint32_t>(a.word);
                *failed = 0;
                break;
            case kMibTypeOctets:
            case kMibTypeOid:
            case kMibTypeOpaque:
                value = a.word == 0 ? Crc16Compute(0xFFFF, "", 0, kCrcOptions)
                                    : Crc16Compute(0xFFFF, Octets(a), a.length, kCrcOptions);
                *failed = 0;
                break;
            case kMibTypeIpAddress: {
                const auto word = static_cast<uint32_t>(a.word);
                const uint8_t octets[4] = {
                    static_cast<uint8_t>(word >> 24), static_cast<uint8_t>(word >> 16),
                    static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)};
                value = Crc16Compute(0xFFFF, octets, sizeof octets, kCrcOptions);
                *failed = 0;
                break;
            }
            case kMibTypeNoSuchObject:
                break;
            default:
                DebugPrint("processPppPDU: type error\n");
                break;
        }
    }
    snmp_engine_unlock("CEventLogging");
    return value;
}

uint32_t CEventLogging::EncodeValue(uint32_t config, uint8_t* buffer) {
    uint8_t oid[kOidMaxBytes + 4];
    const uint32_t length = ReadOid(dbo::eventConfigLogOID, config, oid);
    Answer a;
    if (!InternalGet(oid, length, &a)) {
        DebugPrint("CEventLogging::Log: noSuchObject\n");
        return UINT32_MAX;
    }
    ber_writer w;
    ber_writer_init(&w, buffer, kEventValueBufferSize);
    const auto word = static_cast<uint32_t>(a.word);
    switch (a.type) {
        case kMibTypeOid: {
            uint32_t subids[kSnmpValueArea / 4];
            const uint32_t bytes = std::min<uint32_t>(a.length, sizeof subids) & ~3u;
            if (a.word != 0) {
                BytesToOid(subids, Octets(a), bytes);
            }
            ber_write_oid(&w, subids, a.word != 0 ? bytes / 4 : 0);
            break;
        }
        case kMibTypeOctets:
            ber_write_octets(&w, a.word != 0 ? Octets(a) : nullptr, a.word != 0 ? a.length : 0);
            break;
        case kMibTypeInteger:
            ber_write_integer(&w, static_cast<int32_t>(word));
            break;
        case kMibTypeIpAddress: {
            const uint8_t octets[4] = {static_cast<uint8_t>(word >> 24),
                                       static_cast<uint8_t>(word >> 16),
                                       static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)};
            ber_write_ipaddress(&w, octets);
            break;
        }
        case kMibTypeCounter:
            ber_write_counter(&w, word);
            break;
        case kMibTypeGauge:
            ber_write_gauge(&w, word);
            break;
        case kMibTypeTimeTicks:
            ber_write_timeticks(&w, word);
            break;
        case kMibTypeNoSuchObject:
            ber_write_null(&w);
            break;
        default:
            DebugPrintLevel1("CEventLogging::Log - Unhandled Type:%d", a.type);
            break;
    }
    return static_cast<uint32_t>(w.position - w.begin);
}

void CEventLogging::Log(uint32_t config) {
    if (g_loggingDisabled != nullptr && g_loggingDisabled()) {
        DebugPrintLevel1("CEventLogging::Log: Logging Disabled by fdotDmsMaxPollTime\n");
        return;
    }
    // A class the log does not hold, or one with no room at all, takes no entry.
    const uint32_t cls = g_DataBase.Get(dbo::eventConfigClass, config);
    if (cls == 0 || cls > kEventClasses || g_DataBase.Get(dbo::eventClassLimit, cls - 1u) == 0) {
        return;
    }
    const uint32_t c = cls - 1u;
    static uint8_t buffer[kEventValueBufferSize];
    snmp_engine_lock("CEventLogging");
    const uint32_t length = EncodeValue(config, buffer);
    if (length != UINT32_MAX) {
        const int k = AllocateEntry(c);
        DebugPrintLevel1("CEventLogging::Log:[byClass:%d][byNumber:%d]\n", static_cast<int>(c), k);
        if (k >= 0) {
            const uint32_t slot = EntrySlot(c, static_cast<uint32_t>(k));
            g_DataBase.Set(dbo::eventLogID, config + 1u, kDbNotify, slot);
            // Time 0 marks a free entry: an entry made at time 0 is stored at 1.
            g_DataBase.Set(dbo::eventLogTime, std::max<uint32_t>(GlobalTime(), 1u), kDbNotify,
                           slot);
            g_DataBase.SetText(dbo::eventLogValue, buffer, length, kDbNotify, slot);
        }
    }
    snmp_engine_unlock("CEventLogging");
}

void CEventLogging::FreeEntry(uint32_t c, uint32_t k) {
    const uint32_t slot = EntrySlot(c, k);
    if (g_DataBase.Get(dbo::eventLogID, slot) != 0) {
        g_DataBase.Set(dbo::eventLogID, 0, kDbNotify, slot);
    }
    if (g_DataBase.Get(dbo::eventLogTime, slot) != 0) {
        g_DataBase.Set(dbo::eventLogTime, 0, kDbNotify, slot);
    }
    uint32_t length = 0;
    g_DataBase.GetText(dbo::eventLogValue, &length, slot);
    if (length != 0) {
        g_DataBase.SetText(dbo::eventLogValue, "", 0, kDbNotify, slot);
    }
}

int CEventLogging::AllocateEntry(uint32_t c) {
    if (c >= kEventClasses) {
        return -1;
    }
    const uint32_t limit = std::min(g_DataBase.Get(dbo::eventClassLimit, c), kEventLogEntries);
    if (limit == 0) {
        return -1;
    }
    const uint32_t rows = g_DataBase.Get(dbo::eventClassNumRowsInLog, c);
    if (rows < limit) {
        for (uint32_t k = 0; k < limit; ++k) {
            if (g_DataBase.Get(dbo::eventLogTime, EntrySlot(c, k)) == 0) {
                g_DataBase.Set(dbo::eventClassNumRowsInLog, rows + 1u, kDbNotify, c);
                return static_cast<int>(k);
            }
        }
    }
    // Full (or no free entry below the limit): the oldest entry is dropped.
    FreeEntry(c, 0);
    g_DataBase.Set(dbo::eventLogID, 1, kDbNotify, EntrySlot(c, 0));
    CompactClass(c);
    if (rows != limit) {
        g_DataBase.Set(dbo::eventClassNumRowsInLog, limit, kDbNotify, c);
    }
    return static_cast<int>(limit - 1u);
}

void CEventLogging::CompactClass(uint32_t c) {
    if (c >= kEventClasses || g_DataBase.Get(dbo::eventLogTime, EntrySlot(c, 0)) != 0) {
        return;
    }
    // Under the engine lock: a walk of the log never sees an entry half moved.
    snmp_engine_lock("CEventLogging");
    uint32_t next = 0;
    for (uint32_t k = 0; k < kEventLogEntries; ++k) {
        const uint32_t from = EntrySlot(c, k);
        const uint32_t time = g_DataBase.Get(dbo::eventLogTime, from);
        if (time == 0) {
            continue;
        }
        if (k != next) {
            const uint32_t to = EntrySlot(c, next);
            uint32_t length = 0;
            const char* value = g_DataBase.GetText(dbo::eventLogValue, &length, from);
            g_DataBase.SetText(dbo::eventLogValue, value != nullptr ? value : "",
                               value != nullptr ? length : 0, kDbNotify, to);
            g_DataBase.Set(dbo::eventLogID, g_DataBase.Get(dbo::eventLogID, from), kDbNotify, to);
            g_DataBase.Set(dbo::eventLogTime, time, kDbNotify, to);
        }
        ++next;
    }
    for (uint32_t k = next; k < kEventLogEntries; ++k) {
        FreeEntry(c, k);
    }
    snmp_engine_unlock("CEventLogging");
}

void CEventLogging::ClearClass(uint32_t c) {
    if (c >= kEventClasses) {
        return;
    }
    const uint32_t clear_time = g_DataBase.Get(dbo::eventClassClearTime, c);
    uint32_t rows = g_DataBase.Get(dbo::eventClassNumRowsInLog, c);
    const uint32_t before = rows;
    for (uint32_t k = 0; k < kEventLogEntries; ++k) {
        const uint32_t time = g_DataBase.Get(dbo::eventLogTime, EntrySlot(c, k));
        if (time != 0 && time <= clear_time) {
            FreeEntry(c, k);
            rows = rows > 0 ? rows - 1u : 0u;
        }
    }
    if (rows != before) {
        g_DataBase.Set(dbo::eventClassNumRowsInLog, rows, kDbNotify, c);
    }
    CompactClass(c);
}

void CEventLogging::EnforceClassLimits() {
    for (uint32_t c = 0; c < kEventClasses; ++c) {
        const uint32_t limit = g_DataBase.Get(dbo::eventClassLimit, c);
        const uint32_t rows = g_DataBase.Get(dbo::eventClassNumRowsInLog, c);
        if (rows <= limit) {
            continue;
        }
        for (uint32_t k = 0; k < rows - limit && k < kEventLogEntries; ++k) {
            FreeEntry(c, k);
        }
        CompactClass(c);
        g_DataBase.Set(dbo::eventClassNumRowsInLog, limit, kDbNotify, c);
    }
}

void CEventLogging::CheckLogFull() {
    bool nearly_full = false;
    const uint32_t classes = EventClassCount();
    for (uint32_t c = 0; c < classes && !nearly_full; ++c) {
        const uint32_t limit = g_DataBase.Get(dbo::eventClassLimit, c);
        // At least one entry: 90 % of a limit below 2 rounds down to none.
        const uint32_t threshold = std::max<uint32_t>(limit * 90u / 100u, 1u);
        nearly_full = limit != 0 && g_DataBase.Get(dbo::eventClassNumRowsInLog, c) >= threshold;
    }
    const uint32_t latch = g_DataBase.Get(dbo::fdotLogFullLatch);
    if (nearly_full && latch == 0) {
        g_DataBase.Set(dbo::fdotLogFullLatch, 1, kDbNotify);
        ntcip_send_location_trap(kLogFullSpecific);
    } else if (!nearly_full && latch == 1) {
        g_DataBase.Set(dbo::fdotLogFullLatch, 0, kDbNotify);
    }
}
