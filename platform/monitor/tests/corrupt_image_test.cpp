// A damaged flash image (flipped bits, overwritten spans, garbage, a file of the wrong size)
// boots without a crash or is refused, every file it lists lies inside the flash, and the file
// system stays usable.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/monitor/mon.h"
#include "platform/monitor/tests/temp_board.h"

using monitor_test::Contents;
using monitor_test::TempBoard;

namespace {

std::vector<char> Populated(const TempBoard& board) {
    auto m = board.Boot();
    EXPECT_NE(m, nullptr);
    for (int i = 0; i < 12; ++i) {
        const std::string name = "file" + std::to_string(i % 5);
        const std::string data(size_t(40 + 131 * i % 900), char('a' + i));
        EXPECT_EQ(mon_tfsadd(name.c_str(), "", "", data.data(), long(data.size())), TFS_OKAY);
    }
    EXPECT_EQ(mon_tfsadd("nv1.dat", "", "i", nullptr, 2000), TFS_OKAY);
    EXPECT_EQ(mon_tfsunlink("file4"), TFS_OKAY);
    m.reset();
    return board.ReadFile("flash.bin");
}

TEST(CorruptImage, BootsOrIsRefusedAndStaysUsable) {
    TempBoard board;
    const std::vector<char> good = Populated(board);
    ASSERT_FALSE(good.empty());
    using Damage = std::function<void(std::vector<char>&, std::mt19937&)>;
    struct Case {
        const char* name;
        Damage damage;
        bool bootable;  // the flash file still has a usable size
    };
    const Case cases[] = {
        {"flipped bits",
         [](std::vector<char>& image, std::mt19937& rng) {
             for (int i = 0; i < 64; ++i) {
                 image[rng() % 16384] ^= char(1 << (rng() % 8));
             }
         },
         true},
        {"zeroed headers",
         [](std::vector<char>& image, std::mt19937& rng) {
             const size_t at = rng() % 8192;
             std::memset(image.data() + at, 0, 300);
         },
         true},
        {"erased span in the log",
         [](std::vector<char>& image, std::mt19937& rng) {
             const size_t at = rng() % 8192;
             std::memset(image.data() + at, 0xFF, 600);
         },
         true},
        {"garbage everywhere",
         [](std::vector<char>& image, std::mt19937& rng) {
             for (char& c : image) {
                 c = char(rng());
             }
         },
         true},
        {"garbage state block",
         [](std::vector<char>& image, std::mt19937& rng) {
             for (size_t i = image.size() - 4096; i < image.size(); ++i) {
                 image[i] = char(rng());
             }
             std::memcpy(image.data() + image.size() - 4096, "TFSD", 4);
         },
         true},
        {"truncated file",
         [](std::vector<char>& image, std::mt19937&) { image.resize(image.size() / 2 + 100); },
         false},
        {"too small a file", [](std::vector<char>& image, std::mt19937&) { image.resize(4096); },
         false},
    };
    for (const Case& c : cases) {
        for (uint32_t seed = 1; seed <= 4; ++seed) {
            SCOPED_TRACE(testing::Message() << c.name << ", seed " << seed);
            std::mt19937 rng(seed);
            std::vector<char> image = good;
            c.damage(image, rng);
            board.WriteFile("flash.bin", image);
            auto m = board.Boot();
            if (!c.bootable) {
                EXPECT_EQ(m, nullptr);
                EXPECT_EQ(mon_tfsstat("file0"), nullptr);
                EXPECT_NE(mon_tfsadd("x", "", "", "y", 1), TFS_OKAY);
                continue;
            }
            ASSERT_NE(m, nullptr);
            const uint8_t* base = m->GetFlash().Data();
            const uint8_t* end = base + m->GetFlash().Size();
            size_t listed = 0;
            for (const TFILE* h = mon_tfsnext(nullptr); h != nullptr; h = mon_tfsnext(h)) {
                ++listed;
                ASSERT_EQ(mon_tfsstat(h->name), h);
                const auto* data = reinterpret_cast<const uint8_t*>(h) + h->hdrsize;
                ASSERT_GE(data, base);
                ASSERT_LE(h->filsize, size_t(end - data)) << h->name;
                char buf[256];
                const int fd = mon_tfsopen(h->name, TFS_RDONLY, buf, sizeof buf);
                if (fd >= 0) {
                    long total = 0;
                    for (int n; (n = mon_tfsread(fd, buf, sizeof buf)) > 0;) {
                        total += n;
                    }
                    EXPECT_EQ(total, long(h->filsize));
                    mon_tfsclose(fd, nullptr);
                }
            }
            EXPECT_LE(listed, m->GetTfs().MaxFiles());
            EXPECT_GE(mon_tfsctrl(TFS_AVAILABLE, 0, 0), 0);
            EXPECT_GE(mon_tfsctrl(TFS_DEADSPACE, 0, 0), 0);
            // Still a file system: an add lands and survives a reboot.
            const long added = mon_tfsadd("after", "", "", "kept", 4);
            m.reset();
            m = board.Boot();
            ASSERT_NE(m, nullptr);
            if (added == TFS_OKAY) {
                EXPECT_EQ(Contents(mon_tfsstat("after")), "kept");
            }
            m.reset();
            ::unlink(board.Path("flash.bin").c_str());
        }
    }
}

}  // namespace
