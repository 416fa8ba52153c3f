#pragma once
// Object identifiers as arrays of sub-identifiers: ordering and the packed form
// (4 big-endian octets per sub-identifier) that handlers answer OIDs in.

#include <cstdint>

// -1, 0, 1: unsigned sub-identifier order over the shorter length; on a tie the
// shorter OID is the smaller.
int OidCompare(const uint32_t* a, uint32_t a_length, const uint32_t* b, uint32_t b_length);
// When a is shorter than n: -1 if a is shorter than b, else 1. Otherwise the
// order of the first n sub-identifiers.
int OidCompareN(const uint32_t* a, uint32_t a_length, const uint32_t* b, uint32_t b_length,
                uint32_t n);
// 4 octets per sub-identifier, most significant first, then a zero octet
// (destination holds 4 x count + 1 octets).
void OidToBytes(uint8_t* destination, const uint32_t* sub_identifiers, uint32_t count);
// count / 4 sub-identifiers from groups of 4 octets.
void BytesToOid(uint32_t* destination, const uint8_t* octets, uint32_t count);
