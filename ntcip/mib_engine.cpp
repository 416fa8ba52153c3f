#include "ntcip/mib_engine.h"

#include <cstring>

#include "ntcip/mib_handler_table.h"
#include "ntcip/mib_header.h"
#include "ntcip/mib_oid.h"
#include "ntcip/snmp_set_staging.h"
#include "runtime/debug_print.h"

MibSubtree* g_MibSubtreeList = nullptr;

namespace {

constexpr int kRowTestBudget = 1000;

enum Relation : int { kBefore = -1, kEqual = 0, kAfter = 1 };

// A column the walk steps through instance by instance.
bool IsSteppedColumn(const MibVariable& row) {
    return (row.index_count == 1 || row.index_count == 2) &&
           row.name[row.name_length - 1] == kMibColumnMarker;
}

// Where the name lies against the row. Every instance of a stepped column, whatever its
// number, is "equal" to the column's row: the instance is the handler's to judge.
int RowRelation(const uint32_t* name, uint32_t length, const MibVariable& row) {
    if (!IsSteppedColumn(row)) {
        return OidCompare(name, length, row.name, row.name_length);
    }
    const uint32_t column = row.name_length - 1u;
    const uint32_t shorter = length < column ? length : column;
    const int c = OidCompare(name, shorter, row.name, shorter);
    if (c != 0) {
        return c;
    }
    return length <= column ? kBefore : kEqual;
}

bool RowMatches(int relation, int mode, const MibVariable& row) {
    const bool column = row.name[row.name_length - 1] != 0;
    if (mode == kMibGetNext) {
        return relation == kBefore || (relation == kEqual && column);
    }
    return relation == kEqual || (relation == kBefore && column);
}

void SetName(uint32_t* name, uint32_t* length, const uint32_t* from, uint32_t from_length) {
    std::memcpy(name, from, from_length * sizeof(uint32_t));
    *length = from_length;
}

// The column's first instance: the row's name with 1 at each index position.
void FirstInstance(const MibVariable& row, uint32_t* name, uint32_t* length) {
    SetName(name, length, row.name, row.name_length);
    name[row.name_length - 1] = 1;
    if (row.index_count == 2) {
        name[row.name_length] = 1;
        *length = row.name_length + 1u;
    }
}

// Moves the candidate to the next instance to try in this row; false when the row has
// no instance after the name.
bool NextCandidate(const MibVariable& row, uint32_t* name, uint32_t* length, bool forced) {
    if (row.index_count == 0 || !IsSteppedColumn(row)) {
        SetName(name, length, row.name, row.name_length);
        return true;
    }
    const uint32_t column = row.name_length - 1u;
    const bool instance = !forced && RowRelation(name, *length, row) == kEqual;
    if (g_MibRestartFlag || !instance || (row.index_count == 2 && name[column] == 0)) {
        g_MibRestartFlag = 0;
        g_MibCarryCount = 0;
        FirstInstance(row, name, length);
        return true;
    }
    const uint32_t last = row.name_length - 1u + row.index_count;
    for (uint32_t i = *length; i < last; ++i) {
        name[i] = 0;  // sub-identifiers past the name count as 0
    }
    *length = last;
    uint32_t step = last - 1u;
    if (row.index_count == 2 && g_MibCarryCount == 1) {
        name[step] = 0;
        --step;
    }
    g_MibCarryCount = 0;
    if (name[step] == 0xFFFFFFFFu) {
        return false;
    }
    ++name[step];
    if (step + 1u < last) {
        name[step + 1u] = 1;
    }
    return true;
}

// Type, constraint and group checks of a set. Fills the copy's access as the handler
// sees it and the mode it is called with; false when the handler must not be called.
bool SetChecks(const MibVariable& row, MibVariable* copy, uint8_t syntax, int* mode, int* status) {
    if (row.access == kMibWriteEnabled && row.write_enable == 1) {
        copy->access = kMibReadWrite;
        return true;
    }
    if (*mode != kMibSet) {
        return true;
    }
    if (!CheckSetType(syntax, row.type)) {
        *status = kMibBadValue;
    } else if (row.constraint_count != 0) {
        bool ok = true;
        if (row.type == kMibTypeOid || row.type == kMibTypeOctets || row.type == kMibTypeOpaque) {
            ok = CheckStringConstraint(g_SnmpSetBuffer, g_SnmpSetLength, &row);
        } else if (row.type == kMibTypeInteger || row.type == kMibTypeCounter ||
                   row.type == kMibTypeGauge || row.type == kMibTypeTimeTicks) {
            ok = CheckIntConstraint(g_SnmpSetInt, &row);
        }
        if (!ok) {
            *status = kMibBadValue;
        }
    }
    if (row.group_mask != 0 && (row.group_mask & g_SnmpGroupMask) == 0) {
        DebugPrint("access denied, panynj\n");
        *status = kMibNoSuchName;
        return false;
    }
    if (row.access == kMibReadOnly) {
        *mode = kMibGet;
    } else if (row.access == kMibWriteEnabled) {
        *mode = kMibGet;
        copy->access = kMibReadOnly;
    }
    return true;
}

struct Walk {
    uint32_t* name;
    uint32_t* length;
    int mode;
    uint8_t syntax;
    snmp_pdu* pdu;
    int index;
    int* status;
    int budget;
};

// Calls the handler of a matching row, stepping through carried instances in a get-next.
// Null with done false: the get-next goes on with the next row.
uintptr_t* ServeRow(Walk& w, const MibVariable& row, uint8_t* type, uint32_t* value_length,
                    uint8_t* access, bool* done) {
    *w.status = kMibFound;
    MibVariable copy = row;
    int mode = w.mode;
    if (!SetChecks(row, &copy, w.syntax, &mode, w.status)) {
        *done = true;
        return nullptr;
    }
    uintptr_t* result = row.handler(&copy, w.name, w.length, mode, value_length, w.pdu, w.index);
    while (w.mode == kMibGetNext && result == nullptr && g_MibCarryCount == 1 &&
           row.index_count == 2) {
        if (--w.budget <= 0) {
            DebugPrint("timed out finding next object\n");
            *done = true;
            return nullptr;
        }
        if (!NextCandidate(row, w.name, w.length, false)) {
            break;
        }
        result = row.handler(&copy, w.name, w.length, mode, value_length, w.pdu, w.index);
    }
    if (g_MibCarryCount > 1) {
        g_MibCarryCount = 0;
        g_MibRestartFlag = 1;  // the next row starts at its first instance
    }
    *type = row.type;
    *access = copy.access;
    if (result == nullptr) {
        if (w.mode != kMibGetNext) {
            *w.status = kMibNoSuchName;
            DebugPrint("No Such Name #13\n");
            *done = true;
        }
        return nullptr;
    }
    if (*w.status != kMibBadValue) {
        *w.status = kMibFound;
    }
    *done = true;
    return result;
}

}  // namespace

void MibInit(const char*) {
    MibLinkSubtrees();
}

void MibLinkSubtrees() {
    for (uint32_t i = 0; i < g_MibSubtreeCount; ++i) {
        MibSubtree& node = g_MibSubtrees[i];
        node.row_count = g_MibSubtreeRowCounts[i];
        node.previous = i == 0 ? nullptr : &g_MibSubtrees[i - 1];
        node.next = i + 1 == g_MibSubtreeCount ? nullptr : &g_MibSubtrees[i + 1];
        for (uint16_t r = 0; r < node.row_count; ++r) {
            node.rows[r].handler = MibFindHandler(node.rows[r].handler_name);
            node.rows[r].write_enable = 0;  // every start begins write-protected
        }
    }
    g_MibSubtreeList = g_MibSubtreeCount ? &g_MibSubtrees[0] : nullptr;
}

void MibSetWriteEnable(uint32_t message_store_split) {
    if (message_store_split != 1 && message_store_split != 2) {
        return;
    }
    for (uint32_t i = 0; i < g_MibSubtreeCount; ++i) {
        MibSubtree& node = g_MibSubtrees[i];
        for (uint16_t r = 0; r < g_MibSubtreeRowCounts[i]; ++r) {
            if (node.rows[r].access == kMibWriteEnabled) {
                node.rows[r].write_enable = message_store_split == 2 ? 1 : 0;
            }
        }
    }
}

MibSubtree* find_subtree(const uint32_t* name, uint32_t length, MibSubtree* start, int exact) {
    MibSubtree* head = start ? start : g_MibSubtreeList;
    MibSubtree* candidate = nullptr;
    for (MibSubtree* node = head; node != nullptr; node = node->next) {
        if (OidCompare(node->first, node->first_length, name, length) > 0) {
            break;
        }
        candidate = node;
    }
    if (candidate && OidCompare(name, length, candidate->last, candidate->last_length) < 0) {
        return candidate;
    }
    if (exact) {
        DebugPrintLevel1("find_subtree: Warning Couldn't Find OID\n");
        return nullptr;
    }
    if (head && OidCompare(name, length, head->first, head->first_length) < 0) {
        return head;
    }
    return candidate ? candidate->next : nullptr;
}

uintptr_t* fvars(MibSubtree* node, uint32_t* name, uint32_t* name_length, uint8_t* type,
                 uint32_t* value_length, uint8_t* access, int mode, snmp_pdu* pdu, int index,
                 int* status) {
    *status = kMibNoSuchName;
    if (node->row_count == 0) {
        return nullptr;
    }
    Walk w{name, name_length, mode, *type, pdu, index, status, kRowTestBudget};
    bool forced = false;
    const int cmp =
        OidCompareN(name, *name_length, node->prefix, node->prefix_length, node->prefix_length);
    if (cmp != 0) {
        *status = kMibFound;
        DebugPrint("fvars: cmp result0 %d\n", cmp);
        if (mode != kMibGetNext) {
            return nullptr;
        }
        DebugPrint("No Such Name #9\n");
        forced = true;
    } else if (OidCompare(name, *name_length, node->first, node->first_length) < 0) {
        if (mode != kMibGetNext) {
            DebugPrint("fvars: input name is not in the subtree\n");
            return nullptr;
        }
        DebugPrint("No Such Name #10\n");
        forced = true;
    }
    if (forced) {
        *status = kMibNoSuchName;
        SetName(name, name_length, node->rows[0].name, node->rows[0].name_length);
    }
    for (uint16_t r = 0; r < node->row_count; ++r) {
        if (--w.budget <= 0) {
            DebugPrint("timed out finding next object\n");
            return nullptr;
        }
        const MibVariable& row = node->rows[r];
        const bool first_forced = forced && r == 0;
        const int relation = first_forced ? kBefore : RowRelation(name, *name_length, row);
        if (!RowMatches(relation, mode, row)) {
            continue;
        }
        if (mode == kMibGetNext && !NextCandidate(row, name, name_length, first_forced)) {
            g_MibRestartFlag = 1;
            continue;
        }
        bool done = false;
        uintptr_t* result = ServeRow(w, row, type, value_length, access, &done);
        if (done) {
            return result;
        }
    }
    return nullptr;
}

uintptr_t* getStatPtr(snmp_object* varbind, uint32_t* name_length, uint8_t* type,
                      uint32_t* value_length, uint8_t* access, int mode, snmp_pdu* pdu, int index,
                      int* status) {
    uint32_t kept[kSnmpMaxNameLength];
    const uint32_t kept_length = *name_length;
    std::memcpy(kept, varbind->name, sizeof kept);
    MibSubtree* node = find_subtree(varbind->name, *name_length, nullptr, 1);
    if (node == nullptr) {
        if (mode != kMibGetNext) {
            DebugPrintLevel1("getStatPtr fvars tp == NULL\n");
        } else {
            node = find_subtree(varbind->name, *name_length, nullptr, 0);
            if (node != nullptr) {
                SetName(varbind->name, name_length, node->first, node->first_length);
                mode = kMibGet;
            }
        }
    }
    uintptr_t* result = nullptr;
    while (node != nullptr) {
        g_MibRestartFlag = 0;
        g_MibCarryCount = 0;
        result = fvars(node, varbind->name, name_length, type, value_length, access, mode, pdu,
                       index, status);
        if (result != nullptr || mode != kMibGetNext) {
            break;
        }
        node = node->next;
    }
    g_MibRestartFlag = 0;
    g_MibCarryCount = 0;
    if (node != nullptr) {
        return result;
    }
    if (mode == kMibGetNext) {
        std::memcpy(varbind->name, kept, sizeof kept);
        *name_length = kept_length;
    }
    *status = kMibNoObject;
    return nullptr;
}

int CheckSetType(uint32_t syntax, uint8_t row_type) {
    static const uint8_t kRowTypeOf[] = {0,
                                         kMibTypeInteger,
                                         kMibTypeOctets,
                                         kMibTypeOid,
                                         kMibTypeIpAddress,
                                         kMibTypeCounter,
                                         kMibTypeGauge,
                                         kMibTypeTimeTicks,
                                         kMibTypeOpaque};
    return syntax >= 1 && syntax < sizeof kRowTypeOf && kRowTypeOf[syntax] == row_type;
}

int CheckIntConstraint(uint32_t value, const MibVariable* row) {
    const uint32_t count = row->constraint_count;
    if (row->constraint_kind == 2) {
        for (uint32_t i = 0; i < count && i < kMibConstraintValues; ++i) {
            if (row->constraint_values[i] == value) {
                return 1;
            }
        }
        return 0;
    }
    if (row->constraint_base == 3) {
        return 0;
    }
    for (uint32_t i = 0; i < count && 2 * i + 1 < kMibConstraintValues; ++i) {
        const uint32_t low = row->constraint_values[2 * i];
        const uint32_t high = row->constraint_values[2 * i + 1];
        const bool in = row->constraint_base == 2
                            ? static_cast<int32_t>(value) >= static_cast<int32_t>(low) &&
                                  static_cast<int32_t>(value) <= static_cast<int32_t>(high)
                            : value >= low && value <= high;
        if (in) {
            return 1;
        }
    }
    return 0;
}

int CheckStringConstraint(const uint8_t*, uint32_t length, const MibVariable* row) {
    if (row->constraint_kind != 1) {
        return 1;
    }
    return length >= row->constraint_values[0] && length <= row->constraint_values[1];
}
