// The offline journal check accepts what power cuts and failed writes legitimately leave and
// flags anything else.

#include "database/journal_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "database/journal_record.h"

namespace {

std::vector<uint8_t> Record(uint32_t id, const std::string& text) {
    std::vector<uint8_t> out(text.size() + 16);
    out.resize(journal::BuildStringRecord(id, reinterpret_cast<const uint8_t*>(text.data()),
                                          static_cast<uint32_t>(text.size()), out.data(),
                                          out.size()));
    return out;
}

struct Image {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(4096, 0xFF);
    size_t at = journal::kHeaderSize;

    Image() {
        journal::Header previous;
        previous.sequence = 6;
        journal::BuildHeader(&previous, 1000, bytes.data());
    }
    Image& Add(const std::vector<uint8_t>& record) {
        std::memcpy(bytes.data() + at, record.data(), record.size());
        at += record.size();
        return *this;
    }
    Image& Zeros(size_t n) {
        std::memset(bytes.data() + at, 0, n);
        at += n;
        return *this;
    }
    Image& Raw(std::vector<uint8_t> raw) {
        std::memcpy(bytes.data() + at, raw.data(), raw.size());
        at += raw.size();
        return *this;
    }
    journal::CheckResult Check() const {
        return journal::CheckJournal(bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
};

TEST(JournalCheck, AcceptsWholeRecordsSealedBytesAndOneTornTail) {
    const auto a = Record(1, "alpha");
    const auto b = Record(2, "a longer text of the second record");
    auto deleted = Record(3, "gone");
    deleted[0] = journal::kDeleted;
    std::vector<uint8_t> half(b.begin(), b.begin() + 9);

    Image clean;
    clean.Add(a).Add(deleted).Add(b);
    auto r = clean.Check();
    ASSERT_TRUE(r.ok) << r.problem;
    EXPECT_TRUE(r.committed);
    EXPECT_EQ(r.sequence, 7u);
    EXPECT_EQ(r.records, 3u);
    EXPECT_EQ(r.live, 2u);
    EXPECT_EQ(r.used, clean.at);
    EXPECT_EQ(r.tornBytes, 0u);

    Image cut;
    cut.Add(a).Zeros(11).Add(b).Raw(half);
    r = cut.Check();
    ASSERT_TRUE(r.ok) << r.problem;
    EXPECT_EQ(r.records, 2u);
    EXPECT_EQ(r.sealedBytes, 11u);
    EXPECT_EQ(r.tornBytes, 9u);
}

TEST(JournalCheck, FlagsWhatNoCutLeaves) {
    const auto a = Record(1, "alpha");
    auto corrupt = Record(2, "bravo");
    corrupt[9] ^= 0x40;  // payload changed under its CRC, followed by a whole record

    struct Case {
        const char* what;
        Image image;
        uint32_t badOffset;
    };
    std::vector<Case> cases;
    {
        Image i;
        i.Add(a).Raw({0x41}).Add(a);
        cases.push_back({"stray byte", i, static_cast<uint32_t>(journal::kHeaderSize + a.size())});
    }
    {
        Image i;
        i.Add(corrupt).Add(a);
        cases.push_back({"record failing its CRC", i, journal::kHeaderSize});
    }
    {
        Image i;
        i.Add(a).Raw({0xFF, 0xFF}).Add(a);
        cases.push_back({"erased gap", i, static_cast<uint32_t>(journal::kHeaderSize + a.size())});
    }
    for (const auto& c : cases) {
        const auto r = c.image.Check();
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_EQ(r.badOffset, c.badOffset) << c.what;
        EXPECT_NE(journal::DescribeCheck("nv1.dat", r).find("stray byte"), std::string::npos)
            << c.what;
    }

    Image header;
    header.bytes[5] ^= 1;
    EXPECT_EQ(header.Check().problem, "damaged header");
    EXPECT_FALSE(journal::CheckJournal(header.bytes.data(), 10).ok);
    EXPECT_FALSE(journal::CheckJournal(nullptr, 0).ok);
}

}  // namespace
