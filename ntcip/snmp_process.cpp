#include "ntcip/snmp_process.h"

#include <cstring>

#include "database/db_services.h"
#include "ntcip/mib_engine.h"
#include "ntcip/mib_oid.h"
#include "ntcip/snmp_engine_lock.h"
#include "ntcip/snmp_set_staging.h"
#include "runtime/debug_print.h"

namespace {

// Stand-ins until display control and the interfaces provide theirs.
int StandInActivate() {
    return 0;
}
void StandInNothing() {}
uint8_t StandInResolution(uint32_t) {
    return 0;
}
int StandInTrapPollDisabled(snmp_agent*) {
    return 1;
}
int StandInTrapBufferEmpty(snmp_agent*) {
    return 1;
}
void StandInSendTrap(snmp_agent*, uint32_t, uint32_t, uint32_t, const char*, const char*,
                     uint32_t) {}

snmp_process_hooks g_hooks = {&StandInActivate,   &StandInNothing,          &StandInNothing,
                              &StandInResolution, &StandInTrapPollDisabled, &StandInTrapBufferEmpty,
                              &StandInSendTrap};

const uint32_t kSecurityPrefix[] = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 6, 5};
const uint32_t kChapPrefix[] = {1, 3, 6, 1, 4, 1, 1206, 4, 1, 1, 1};
const uint32_t kPanelPasswordPrefix[] = {1, 3, 6, 1, 4, 1, 1206, 3, 47, 2, 12};
const uint32_t kCommunityTableEnd[] = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 6, 5, 3, 1, 3, 100};
const uint32_t kActivateMessage[] = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 6, 3, 0};
const uint32_t kMessageStatus[] = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 5, 8, 1, 9};
const uint32_t kGraphicStatus[] = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 10, 6, 1, 10};
const uint32_t kAuxPortValue[] = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 6, 7, 3, 1, 5};
const uint32_t kCompatibilitySwitch[] = {1, 3, 6, 1, 4, 1, 1206, 3, 16, 1, 1, 20, 5, 0};
const uint32_t kGraphicBlockBitmap[] = {1206, 4, 2, 3, 10, 7, 1, 3};  // sub-identifiers 7..14
constexpr uint32_t kPrefix11 = 11;
constexpr uint32_t kPrefix14 = 14;
constexpr uint32_t kGraphicBlockOctets = 1023;
constexpr uint32_t kAuxAnalogSlots = 112;

enum class Flow { kNext, kEndRequest, kDrop };

struct Request {
    snmp_pdu* pdu;
    int mode;
    int level;  // 2 admin, 1 user
    uint32_t access_mask;
    bool last_pass;  // an error ruled out the next pass
};

bool Under(const snmp_object& v, const uint32_t* prefix, uint32_t n) {
    return v.name_length >= n && std::memcmp(v.name, prefix, n * sizeof(uint32_t)) == 0;
}

bool Protected(const snmp_object& v) {
    return Under(v, kSecurityPrefix, kPrefix11) || Under(v, kChapPrefix, kPrefix11) ||
           Under(v, kPanelPasswordPrefix, kPrefix11);
}

void SetIndex(snmp_pdu* pdu, int i) {
    if (pdu->request.error_index == 0) {
        pdu->request.error_index = static_cast<uint32_t>(i + 1);
    }
}

void SetError(snmp_pdu* pdu, uint32_t status, int i) {
    if (pdu->request.error_status == kSnmpNoError) {
        pdu->request.error_status = status;
    }
    SetIndex(pdu, i);
}

void CountStatus(uint32_t status) {
    switch (status) {
        case kSnmpTooBig:
            db_count_snmp_in_too_bigs();
            break;
        case kSnmpBadValue:
            db_count_snmp_in_bad_values();
            break;
        case kSnmpReadOnly:
            db_count_snmp_in_read_onlys();
            break;
        case kSnmpGenErr:
            db_count_snmp_in_gen_errs();
            break;
        default:
            db_count_snmp_in_no_such_names();
            break;
    }
}

void Stage(const snmp_object& v) {
    snmp_engine_lock("processPppPdu");
    g_SnmpSetLength = v.value_length;
    if (g_SnmpSetLength > kSnmpSetBufferSize) {
        DebugPrintLevel1("*******TAS - Object Too Big!!!!\n");
        g_SnmpSetLength = kSnmpSetBufferSize;
        db_count_snmp_in_too_bigs();
    }
    const uint8_t* o = v.octets();
    switch (v.syntax) {
        case kSnmpInteger:
        case kSnmpCounter:
        case kSnmpGauge:
            g_SnmpSetInt = v.value[0];
            g_SnmpSetLength = 4;
            break;
        case kSnmpIpAddress:
            g_SnmpSetInt = (uint32_t{o[0]} << 24) | (uint32_t{o[1]} << 16) | (uint32_t{o[2]} << 8) |
                           uint32_t{o[3]};
            g_SnmpSetLength = 4;
            break;
        case kSnmpOctetString:
            std::memcpy(g_SnmpSetBuffer, o, g_SnmpSetLength);
            break;
        case kSnmpObjectId: {
            // Packed with a zero octet after: at most 499 sub-identifiers fit.
            uint32_t count = g_SnmpSetLength / 4;
            count = count > (kSnmpSetBufferSize - 1) / 4 ? (kSnmpSetBufferSize - 1) / 4 : count;
            OidToBytes(g_SnmpSetBuffer, v.value, count);
            g_SnmpSetLength = 4 * count;
            break;
        }
        default:
            DebugPrintLevel1("processPppPDU: Set type error\n");
            break;
    }
    snmp_engine_unlock("processPppPdu");
}

bool AccessDenied(const Request& r, const snmp_object& v) {
    if (r.level != 1) {
        return false;
    }
    if (r.mode == kMibGetNext) {
        return Under(v, kSecurityPrefix, kPrefix11) && v.name_length >= 15 && v.name[14] >= 16;
    }
    return Protected(v) || (r.mode == kMibSet && r.access_mask == 0);
}

// Auxiliary port values above the port's resolution are refused before any write.
void CheckAuxPortValue(Request& r, const snmp_object& v, int i) {
    if (OidCompareN(v.name, v.name_length, kAuxPortValue, kPrefix14, kPrefix14) != 0 ||
        v.name_length < 2) {
        return;
    }
    const uint32_t type = v.name[v.name_length - 2];
    const uint32_t number = v.name[v.name_length - 1];
    const uint32_t slot = number - 1u + (type == 2 ? kAuxAnalogSlots : 0u);
    const uint8_t resolution = g_hooks.peripheral_table_type(slot);
    const uint32_t limit = resolution >= 32 ? 0u : (1u << resolution);
    const uint8_t* o = v.octets();
    const uint32_t word =
        v.syntax == kSnmpOctetString
            ? (uint32_t{o[0]} << 24 | uint32_t{o[1]} << 16 | uint32_t{o[2]} << 8 | uint32_t{o[3]})
            : v.value[0];
    if ((v.value_length == 2 && o[0] > limit) || (v.value_length == 4 && word > limit)) {
        SetError(r.pdu, kSnmpBadValue, i);
    }
}

struct WalkResult {
    uintptr_t* answer;
    uint8_t type;
    uint32_t value_length;
    uint8_t access;
    int status;
};

Flow Walk(Request& r, int i, WalkResult* w) {
    snmp_object& v = r.pdu->varbinds[i];
    uint32_t length = v.name_length > kSnmpMaxNameLength ? kSnmpMaxNameLength : v.name_length;
    w->type = static_cast<uint8_t>(v.syntax);
    const bool user_next = r.mode == kMibGetNext && r.level == 1;
    // Only the varbind is kept for the end-of-table refusal, not the whole PDU.
    static snmp_object kept;
    if (user_next) {
        kept = v;
    }
    for (;;) {
        w->answer = getStatPtr(&v, &length, &w->type, &w->value_length, &w->access, r.mode, r.pdu,
                               i, &w->status);
        if (r.mode == kMibSet) {
            CheckAuxPortValue(r, v, i);
        }
        v.name_length = length;
        if (user_next && Under(v, kCommunityTableEnd, 15) && length == 15) {
            v = kept;
            SetError(r.pdu, kSnmpNoSuchName, i);
            v.value[0] = 0;
            v.value_length = 0;
            v.syntax = kSnmpInteger;
            db_count_snmp_in_no_such_names();
            return Flow::kEndRequest;
        }
        if (!user_next || w->status != kMibFound || !Protected(v)) {
            break;
        }
    }
    return Flow::kNext;
}

void CopyOctets(snmp_object& v, const WalkResult& w, bool pad_block) {
    uint32_t length = w.value_length > kSnmpSetBufferSize ? kSnmpSetBufferSize : w.value_length;
    const auto* source = reinterpret_cast<const uint8_t*>(*w.answer);
    if (source != nullptr) {
        std::memmove(v.octets(), source, length);
    } else {
        length = 0;
    }
    if (pad_block && length < kGraphicBlockOctets) {
        std::memset(v.octets() + length, 0, kGraphicBlockOctets - length);
        length = kGraphicBlockOctets;
    }
    v.octets()[length] = 0;
    v.value_length = length;
}

// The handler's answer as the response value; kDrop for a row type without one.
Flow Convert(Request& r, int i, const WalkResult& w) {
    snmp_object& v = r.pdu->varbinds[i];
    const bool ok = r.pdu->request.error_status == kSnmpNoError && w.answer != nullptr;
    switch (w.type) {
        case kMibTypeOid: {
            v.syntax = kSnmpObjectId;
            if (ok) {
                static uint8_t packed[kSnmpSetBufferSize];
                const uint32_t length =
                    w.value_length > sizeof packed ? sizeof packed : w.value_length;
                std::memcpy(packed, reinterpret_cast<const uint8_t*>(*w.answer), length);
                BytesToOid(v.value, packed, length);
                v.value_length = length / 4;
            }
            return Flow::kNext;
        }
        case kMibTypeOctets:
        case kMibTypeOpaque:
            v.syntax = w.type == kMibTypeOctets ? kSnmpOctetString : kSnmpOpaque;
            if (ok) {
                const bool block =
                    r.mode != kMibSet && w.type == kMibTypeOctets && v.name_length >= 14 &&
                    std::memcmp(v.name + 6, kGraphicBlockBitmap, sizeof kGraphicBlockBitmap) == 0;
                CopyOctets(v, w, block);
            }
            return Flow::kNext;
        case kMibTypeInteger:
        case kMibTypeCounter:
        case kMibTypeGauge:
        case kMibTypeTimeTicks: {
            static const uint16_t kSyntax[] = {kSnmpInteger, 0,          0,
                                               kSnmpCounter, kSnmpGauge, kSnmpTimeTicks};
            v.syntax = kSyntax[w.type - kMibTypeInteger];
            if (ok) {
                v.value[0] = static_cast<uint32_t>(*w.answer);
                v.value_length = 4;
            }
            return Flow::kNext;
        }
        case kMibTypeIpAddressRo:
        case kMibTypeIpAddress: {
            v.syntax = kSnmpIpAddress;
            v.value_length = 4;
            if (ok) {
                const auto word = static_cast<uint32_t>(*w.answer);  // a.b.c.d as a word
                const uint8_t octets[5] = {
                    static_cast<uint8_t>(word >> 24), static_cast<uint8_t>(word >> 16),
                    static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word), 0};
                std::memcpy(v.octets(), octets, sizeof octets);
            }
            return Flow::kNext;
        }
        case kMibTypeNoSuchObject:
            v.syntax = kSnmpNull;
            SetError(r.pdu, kSnmpNoSuchName, i);
            return Flow::kNext;
        case kMibTypeDebug:
            DebugPrintLevel1("snmp_process: type is SEQUENCE\n");
            DebugPrintLevel1("Process PUD: after fvars\n");
            DebugPrintLevel1("length %d, var_len %d and variables[j] is:\n",
                             static_cast<int>(v.name_length), static_cast<int>(w.value_length));
            return Flow::kNext;
        default:
            DebugPrint("processPppPDU: type error, type = %d\n", w.type);
            return Flow::kDrop;
    }
}

// Outcome of the walk and the checks after it (steps that may end the request).
Flow Judge(Request& r, int i, int pass, const WalkResult& w) {
    snmp_pdu* pdu = r.pdu;
    snmp_object& v = pdu->varbinds[i];
    if (pdu->request.error_status != kSnmpNoError) {
        SetIndex(pdu, i);
        CountStatus(pdu->request.error_status);
        r.last_pass = true;
    } else if (w.status == kMibBadValue) {
        DebugPrintLevel1("ProcessPppPdu: Bad Value\n");
        SetError(pdu, kSnmpBadValue, i);
        db_count_snmp_in_bad_values();
        r.last_pass = true;
    } else if (w.status != kMibFound) {
        DebugPrintLevel1("ProcessPppPdu: No Such Object\n");
        SetError(pdu, kSnmpNoSuchName, i);
        db_count_snmp_in_no_such_names();
        return Flow::kEndRequest;
    }
    if (r.mode == kMibSet && pass == 1 &&
        OidCompare(v.name, v.name_length, kActivateMessage, v.name_length) == 0 &&
        v.name_length == sizeof kActivateMessage / sizeof kActivateMessage[0] &&
        g_hooks.activate_requested_message() != 0) {
        const uint32_t status = pdu->request.error_status;
        if (status == kSnmpNoError || status == kSnmpReadOnly || status > kSnmpGenErr) {
            pdu->request.error_status = kSnmpGenErr;
            SetIndex(pdu, i);
        }
    }
    if (r.mode == kMibSet && w.access == kMibReadOnly) {
        DebugPrintLevel1("ProcessPppPdu: Error - ReadOnly\n");
        SetError(pdu, kSnmpNoSuchName, i);
        db_count_snmp_in_no_such_names();
        db_count_snmp_in_read_onlys();
        r.last_pass = true;
    }
    const uint32_t status = pdu->request.error_status;
    if (w.value_length > kSnmpSetBufferSize &&
        (status == kSnmpNoError || status >= kSnmpReadOnly)) {
        DebugPrint("Error, variable too large:%d type:%d No object:%d\n",
                   static_cast<int>(w.value_length), w.type, w.status);
        pdu->request.error_status = kSnmpTooBig;
        SetIndex(pdu, i);
        db_count_snmp_in_too_bigs();
        r.last_pass = true;
    }
    return Flow::kNext;
}

Flow ProcessVarbind(Request& r, int i, int pass) {
    snmp_object& v = r.pdu->varbinds[i];
    if (r.mode == kMibSet) {
        Stage(v);
    }
    if (AccessDenied(r, v)) {
        DebugPrintLevel1("ProcessPppPdu: Access Denied\n");
        SetError(r.pdu, kSnmpNoSuchName, i);
        db_count_snmp_in_no_such_names();
        return Flow::kEndRequest;
    }
    WalkResult w{};
    if (Walk(r, i, &w) == Flow::kEndRequest) {
        return Flow::kEndRequest;
    }
    const Flow judged = Judge(r, i, pass, w);
    if (judged != Flow::kNext) {
        return judged;
    }
    if (pass == 0 && r.mode != kMibGetNext && !r.last_pass) {
        return Flow::kNext;  // answers are converted in the second pass
    }
    return Convert(r, i, w);
}

Flow RunPasses(Request& r) {
    const int passes = r.mode == kMibGetNext ? 1 : 2;
    for (int pass = 0; pass < passes; ++pass) {
        g_SnmpSetCommit = (r.mode == kMibGetNext || pass == 1) ? 1 : 0;
        for (int i = 0; i < r.pdu->count; ++i) {
            const Flow flow = ProcessVarbind(r, i, pass);
            if (flow != Flow::kNext) {
                return flow;
            }
        }
        if (r.last_pass) {
            break;
        }
    }
    return Flow::kNext;
}

// After the response: display control acts on the message and graphic tables just set,
// and a get or set naming the compatibility switch turns compatibility mode on (a get-next
// that merely arrives there does not).
void AfterResponse(const snmp_pdu* pdu, int mode) {
    if (mode == kMibSet) {
        for (int i = 0; i < pdu->count; ++i) {
            const snmp_object& v = pdu->varbinds[i];
            if (OidCompareN(v.name, v.name_length, kMessageStatus, kPrefix14, kPrefix14) == 0) {
                g_hooks.process_message_table();
            }
        }
        for (int i = 0; i < pdu->count; ++i) {
            const snmp_object& v = pdu->varbinds[i];
            if (OidCompareN(v.name, v.name_length, kGraphicStatus, kPrefix14, kPrefix14) == 0) {
                g_hooks.process_graphic_table();
            }
        }
    }
    if (mode == kMibGetNext) {
        return;
    }
    for (int i = 0; i < pdu->count; ++i) {
        const snmp_object& v = pdu->varbinds[i];
        if (OidCompare(v.name, v.name_length, kCompatibilitySwitch,
                       sizeof kCompatibilitySwitch / sizeof kCompatibilitySwitch[0]) == 0) {
            db_compat_mode_set(true);
        }
    }
}

bool StartRequest(Request& r, const char* community, snmp_pdu* pdu) {
    r.pdu = pdu;
    r.last_pass = false;
    r.access_mask = 0;
    r.level = db_community_lookup(community, &r.access_mask);
    if (r.level == 0) {
        db_count_snmp_in_bad_community_names();
        db_count_snmp_in_bad_community_uses();
        db_count_bad_community();
        return false;
    }
    db_community_access(community, &g_SnmpGroupMask);
    g_SnmpActivity = 1;
    switch (pdu->type) {
        case kSnmpGetRequest:
            db_count_snmp_in_get_requests();
            r.mode = kMibGet;
            return true;
        case kSnmpGetNextRequest:
            db_count_snmp_in_get_nexts();
            r.mode = kMibGetNext;
            return true;
        case kSnmpSetRequest:
            db_count_snmp_in_set_requests();
            r.mode = kMibSet;
            return true;
        default:
            db_count_snmp_in_gen_errs();
            return false;
    }
}

}  // namespace

snmp_process_hooks snmp_process_get_hooks() {
    return g_hooks;
}

void snmp_process_set_hooks(const snmp_process_hooks& hooks) {
    snmp_process_hooks next = hooks;
    const snmp_process_hooks stand_in = {
        &StandInActivate,         &StandInNothing,         &StandInNothing, &StandInResolution,
        &StandInTrapPollDisabled, &StandInTrapBufferEmpty, &StandInSendTrap};
    if (!next.activate_requested_message)
        next.activate_requested_message = stand_in.activate_requested_message;
    if (!next.process_message_table)
        next.process_message_table = stand_in.process_message_table;
    if (!next.process_graphic_table)
        next.process_graphic_table = stand_in.process_graphic_table;
    if (!next.peripheral_table_type)
        next.peripheral_table_type = stand_in.peripheral_table_type;
    if (!next.is_trap_poll_disabled)
        next.is_trap_poll_disabled = stand_in.is_trap_poll_disabled;
    if (!next.is_trap_buffer_empty)
        next.is_trap_buffer_empty = stand_in.is_trap_buffer_empty;
    if (!next.send_pending_trap)
        next.send_pending_trap = stand_in.send_pending_trap;
    g_hooks = next;
}

int snmp_process(snmp_agent* agent, uint32_t version, uint32_t security_model,
                 const char* community, uint32_t security_flags, const char* context_engine_id,
                 const char* context_name, uint32_t message_model, snmp_pdu* pdu,
                 uint32_t pending_slot) {
    if (!g_hooks.is_trap_poll_disabled(agent) && std::strncmp(agent->name, "ethernet", 8) != 0 &&
        !g_hooks.is_trap_buffer_empty(agent)) {
        g_hooks.send_pending_trap(agent, version, security_model, security_flags, context_engine_id,
                                  context_name, message_model);
        return 0;
    }
    snmp_engine_lock("processPppPdu");
    Request r{};
    const bool served = StartRequest(r, community, pdu);
    const uint32_t journalFailures = db_journal_failures();
    const Flow flow = served ? RunPasses(r) : Flow::kDrop;
    g_SnmpSetCommit = 1;
    if (flow != Flow::kDrop && r.mode == kMibSet && db_journal_failures() != journalFailures &&
        pdu->request.error_status == kSnmpNoError) {
        // The values stand but did not reach the journal: a set that would not survive a
        // restart is not acknowledged.
        DebugPrint("snmp_process: set not journalled\n");
        SetError(pdu, kSnmpGenErr, 0);
        db_count_snmp_in_gen_errs();
    }
    if (flow != Flow::kDrop) {
        pdu->type = kSnmpGetResponse;
        uint32_t unused = 0;
        if (db_community_lookup(community, &unused) != 0) {
            db_clear_bad_community();
        }
        if (returnResponsePdu(agent, version, security_model, community, security_flags,
                              context_engine_id, context_name, message_model, pdu,
                              pending_slot) != 1) {
            DebugPrintLevel1("snmp_preocess: returnResponsePdu Failed\n");
        }
        AfterResponse(pdu, r.mode);
    }
    snmp_engine_unlock("processPppPdu");
    return 0;
}
