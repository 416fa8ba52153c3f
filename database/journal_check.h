#pragma once
// Offline check of a journal file's image: the header, every record, the sealed (zeroed) bytes a
// failed or cut write leaves, and at most one unfinished record at the end.

#include <cstdint>
#include <string>

namespace journal {

struct CheckResult {
    bool ok = false;
    bool committed = false;
    uint32_t sequence = 0;
    uint32_t records = 0;
    uint32_t live = 0;
    uint32_t sealedBytes = 0;
    uint32_t used = 0;       // offset behind the last programmed byte
    uint32_t tornBytes = 0;  // unfinished record at the end
    uint32_t badOffset = 0;  // first offset that is none of the above (when !ok)
    std::string problem;     // empty when ok
};

CheckResult CheckJournal(const uint8_t* data, uint32_t size);

// One line: "NAME: committed seq S, R records (L live), used U, sealed Z, torn T" or
// "NAME: PROBLEM".
std::string DescribeCheck(const char* name, const CheckResult& result);

}  // namespace journal
