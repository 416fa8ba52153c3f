#include "ntcip/mib_header.h"

#include "ntcip/mib_oid.h"

uint8_t g_MibRestartFlag = 0;
uint8_t g_MibCarryCount = 0;

int MibHeaderExact(const MibVariable* row, const uint32_t* name, uint32_t name_length, int,
                   uint32_t*) {
    return OidCompare(name, name_length, row->name, row->name_length) == 0 ? 0 : -1;
}

int MibHeaderIndexed(const MibVariable* row, const uint32_t* name, uint32_t name_length, int mode,
                     uint32_t*, uint32_t index) {
    const uint32_t column = row->name_length - 1u;
    // Only instances of this very column: a name of another column is never one of ours.
    if (name_length < row->name_length || OidCompare(name, column, row->name, column) != 0) {
        return 1;
    }
    uint32_t instance[kSnmpMaxNameLength];
    for (uint32_t i = 0; i < column; ++i) {
        instance[i] = row->name[i];
    }
    instance[column] = index;
    const int c = OidCompare(name, name_length, instance, row->name_length);
    if (c <= 0) {
        if (mode == kMibGetNext) {
            return 0;
        }
        return (name[name_length - 1] == 0 || name_length != row->name_length) ? 1 : 0;
    }
    if (mode == kMibGetNext) {
        g_MibRestartFlag = 1;
    }
    return 1;
}

uint32_t MibIndexedInstance(const MibVariable* row, const uint32_t* name, uint32_t name_length,
                            int mode, uint32_t* value_length, uint32_t index) {
    if (MibHeaderIndexed(row, name, name_length, mode, value_length, index) != 0) {
        return 0;
    }
    const uint32_t instance = name[row->name_length - 1u];
    // Rows count from 1: instance 0 is no row, whatever the mode.
    return instance >= 1 && instance <= index ? instance : 0;
}

int MibHeaderIndexBounds(const MibVariable* row, const uint32_t* name, uint32_t name_length, int,
                         uint32_t*, const uint32_t* bounds, uint32_t n) {
    const uint32_t column = row->name_length - 1u;
    if (name_length != column + n || OidCompare(name, column, row->name, column) != 0) {
        return -1;
    }
    for (uint32_t k = 0; k < n; ++k) {
        const uint32_t value = name[column + k];
        if (value == 0) {
            return -1;  // handlers count rows from 1
        }
        if (value > bounds[k]) {
            g_MibCarryCount = static_cast<uint8_t>(n - k);
            return -1;
        }
    }
    return 0;
}
