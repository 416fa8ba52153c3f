#include "ntcip/mib_oid.h"

int OidCompare(const uint32_t* a, uint32_t a_length, const uint32_t* b, uint32_t b_length) {
    const uint32_t shorter = a_length < b_length ? a_length : b_length;
    for (uint32_t i = 0; i < shorter; ++i) {
        if (a[i] != b[i]) {
            return a[i] < b[i] ? -1 : 1;
        }
    }
    if (a_length == b_length) {
        return 0;
    }
    return a_length < b_length ? -1 : 1;
}

int OidCompareN(const uint32_t* a, uint32_t a_length, const uint32_t* b, uint32_t b_length,
                uint32_t n) {
    if (a_length < n) {
        return a_length < b_length ? -1 : 1;
    }
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t bi = i < b_length ? b[i] : 0;
        if (a[i] != bi) {
            return a[i] < bi ? -1 : 1;
        }
    }
    return 0;
}

void OidToBytes(uint8_t* destination, const uint32_t* sub_identifiers, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t v = sub_identifiers[i];
        destination[4 * i] = static_cast<uint8_t>(v >> 24);
        destination[4 * i + 1] = static_cast<uint8_t>(v >> 16);
        destination[4 * i + 2] = static_cast<uint8_t>(v >> 8);
        destination[4 * i + 3] = static_cast<uint8_t>(v);
    }
    destination[4 * count] = 0;
}

void BytesToOid(uint32_t* destination, const uint8_t* octets, uint32_t count) {
    for (uint32_t i = 0; i < count / 4; ++i) {
        const uint8_t* p = octets + 4 * i;
        destination[i] = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) |
                         uint32_t{p[3]};
    }
}
