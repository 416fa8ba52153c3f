#include "database/journal_check.h"

#include <cstdio>

#include "database/journal_record.h"

namespace journal {

CheckResult CheckJournal(const uint8_t* data, uint32_t size) {
    CheckResult result;
    Header header;
    if (data == nullptr || size < kHeaderSize) {
        result.problem = "shorter than its header";
        return result;
    }
    if (!ParseHeader(data, size, &header)) {
        result.problem = "damaged header";
        return result;
    }
    result.committed = header.commit == kCommitted;
    result.sequence = header.sequence;
    result.used = UsedEnd(data, 0, size);
    const uint32_t end =
        result.used > kHeaderSize ? TornTail(data, kHeaderSize, result.used) : kHeaderSize;
    result.tornBytes = result.used > end ? result.used - end : 0;
    RecordFrame frame;
    uint32_t offset = kHeaderSize;
    while (offset < end) {
        if (AcceptRecord(data, end, offset, &frame)) {
            ++result.records;
            result.live += frame.live ? 1 : 0;
            offset += frame.Size();
        } else if (data[offset] == 0) {
            ++result.sealedBytes;
            ++offset;
        } else {
            char text[64];
            std::snprintf(text, sizeof text, "stray byte 0x%02X at offset %u", data[offset],
                          offset);
            result.problem = text;
            result.badOffset = offset;
            return result;
        }
    }
    result.ok = true;
    return result;
}

std::string DescribeCheck(const char* name, const CheckResult& r) {
    char text[200];
    if (!r.ok) {
        std::snprintf(text, sizeof text, "%s: %s", name, r.problem.c_str());
    } else {
        std::snprintf(text, sizeof text,
                      "%s: %s seq %u, %u records (%u live), used %u, sealed %u, torn %u", name,
                      r.committed ? "committed" : "uncommitted", r.sequence, r.records, r.live,
                      r.used, r.sealedBytes, r.tornBytes);
    }
    return text;
}

}  // namespace journal
