// The simulated sign: EPLD programming, DMA completion, module-bus answers and faults, frame sink.
#include "platform/sim/sign.h"

#include <ftw.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "platform/sim/epld_bitstream.h"
#include "platform/sim/hw.h"
#include "platform/sim/png_file.h"

namespace {

constexpr uint32_t kEpld = sim::Epld::kBase;

class SignTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sign_.Attach());
        const std::vector<uint8_t> bits = sim::MakeEpldBitstream(7, 4096);
        ASSERT_TRUE(sign_.GetEpld().Load(bits.data(), bits.size()));
        hw::Write16(kEpld + sim::Epld::kWidth, 24);
        hw::Write16(kEpld + sim::Epld::kHeight, 16);
    }
    // One module-bus command cycle.
    void Command(uint16_t command, uint16_t address, uint16_t start) {
        hw::Write16(kEpld + sim::Epld::kCommand, command);
        hw::Write16(kEpld + sim::Epld::kAddress, address);
        hw::Write16(kEpld + sim::Epld::kControl, start);
        hw::Write16(kEpld + sim::Epld::kControl, 0);
    }
    uint8_t Query(unsigned line, unsigned address) {
        Command(uint16_t(line << 8 | 0x40), uint16_t(address), sim::Epld::kStartCommand);
        return uint8_t(hw::Read16(kEpld + sim::Epld::kStatus) >> 8);
    }
    uint16_t TestWord(unsigned line, unsigned address, unsigned n, unsigned sizeCode = 4) {
        Command(uint16_t(line << 8 | 8 * (n + 1)), uint16_t(sizeCode << 8 | address),
                sim::Epld::kStartCommand);
        hw::Write16(kEpld + sim::Epld::kControl, sim::Epld::kSelectReadBack);
        return hw::Read16(kEpld + sim::Epld::kData);
    }
    std::vector<uint16_t> Bitmap(unsigned line, unsigned count, unsigned channel, unsigned words) {
        Command(uint16_t(line << 8 | 8), uint16_t(channel << 8 | count), sim::Epld::kStartWrite);
        std::vector<uint16_t> out;
        for (unsigned i = 0; i < words; ++i) {
            hw::Write16(kEpld + sim::Epld::kControl, uint16_t(i));
            out.push_back(hw::Read16(kEpld + sim::Epld::kData));
        }
        return out;
    }
    void StartDma(uint32_t source, uint32_t words) {
        dcr_write(sim::DmaController::kStatus, sim::DmaController::kTerminalCount0);
        dcr_write(sim::DmaController::kSource, source);
        dcr_write(sim::DmaController::kCount, words);
        dcr_write(sim::DmaController::kControl, 0x8B8827E0);
    }

    sim::Sign sign_;
};

TEST(EpldProgramming, UnprogrammedReadsOnesAndBadBitstreamsAreRefused) {
    sim::Sign sign;
    ASSERT_TRUE(sign.Attach());
    EXPECT_EQ(hw::Read16(kEpld + sim::Epld::kVersion), 0xFFFF);
    hw::Write16(kEpld + sim::Epld::kWidth, 80);
    EXPECT_EQ(hw::Read16(kEpld + sim::Epld::kColumns), 0xFFFF);

    std::vector<uint8_t> bits = sim::MakeEpldBitstream(3, 1000);
    std::vector<uint8_t> wrongMagic = bits;
    wrongMagic[0] = 'X';
    std::vector<uint8_t> wrongLength = bits;
    wrongLength[11] ^= 1;
    std::vector<uint8_t> truncated(bits.begin(), bits.begin() + 11);
    for (const std::vector<uint8_t>* bad : {&wrongMagic, &wrongLength, &truncated}) {
        EXPECT_FALSE(sign.GetEpld().Load(bad->data(), bad->size()));
        EXPECT_EQ(hw::Read16(kEpld + sim::Epld::kVersion), 0xFFFF);
    }
    EXPECT_FALSE(sign.GetEpld().Load(nullptr, 0));

    ASSERT_TRUE(sign.GetEpld().Load(bits.data(), bits.size()));
    EXPECT_EQ(hw::Read16(kEpld + sim::Epld::kVersion), 3);
    EXPECT_EQ(hw::Read16(kEpld + sim::Epld::kMemoryMap), 0);
    hw::Write16(kEpld + sim::Epld::kWidth, 80);
    hw::Write16(kEpld + sim::Epld::kHeight, 16);
    EXPECT_EQ(hw::Read16(kEpld + sim::Epld::kColumns), 80);
    EXPECT_EQ(hw::Read16(kEpld + sim::Epld::kRows), 16);
    // A failed reload leaves the EPLD unprogrammed again.
    EXPECT_FALSE(sign.GetEpld().Load(truncated.data(), truncated.size()));
    EXPECT_FALSE(sign.GetEpld().Programmed());
}

TEST_F(SignTest, DmaCompletesAtOnceAfterPollsOrNever) {
    uint8_t* ram = sign_.DmaRam();
    for (uint32_t i = 0; i < 16 * 24 * 3; ++i) {
        ram[i] = uint8_t(i * 7);
    }
    struct Case {
        sim::DmaCompletion mode;
        uint32_t polls;
        int readsUntilDone;  // -1: never
    };
    for (const Case& c :
         {Case{sim::DmaCompletion::kAtOnce, 0, 0}, Case{sim::DmaCompletion::kAfterPolls, 3, 3},
          Case{sim::DmaCompletion::kNever, 0, -1}}) {
        sign_.Dma().SetCompletion(c.mode, c.polls);
        const uint64_t before = sign_.Sink().Frames();
        StartDma(sim::kDisplayDmaBuffer, 16 * 24 * 3 / 4);
        int reads = 0;
        while ((sign_.Dma().Register(sim::DmaController::kStatus) & 0x80000000u) == 0 &&
               reads < 100) {
            dcr_read(sim::DmaController::kStatus);
            reads++;
        }
        EXPECT_EQ(reads, c.readsUntilDone < 0 ? 100 : c.readsUntilDone);
        EXPECT_EQ(sign_.Sink().Frames(), before + (c.readsUntilDone < 0 ? 0 : 1));
    }
    const sim::SinkFrame frame = sign_.Sink().Latest();
    ASSERT_EQ(frame.pixels.size(), 16u * 24 * 3);
    EXPECT_EQ(std::vector<uint8_t>(ram, ram + frame.pixels.size()), frame.pixels);

    // A source outside board RAM delivers nothing but still ends.
    sign_.Dma().SetCompletion(sim::DmaCompletion::kAtOnce);
    StartDma(0x10000000, 10);
    EXPECT_EQ(sign_.Dma().BadTransfers(), 1u);
    EXPECT_NE(sign_.Dma().Register(sim::DmaController::kStatus) & 0x80000000u, 0u);
}

TEST_F(SignTest, ModulesAnswerUntilTheChainIsBroken) {
    EXPECT_EQ(Query(0, 1), 6);
    EXPECT_EQ(Query(1, 3), 6);
    EXPECT_EQ(Query(1, 4), 0);  // beyond the line
    EXPECT_EQ(Query(2, 1), 0);  // no such line
    EXPECT_EQ(TestWord(1, 3, 1), 0x0101);
    EXPECT_EQ(TestWord(1, 3, 1, 8), 0);  // wrong size code: no answer

    sign_.Modules().Disconnect(1, 1);
    EXPECT_EQ(Query(1, 1), 6);
    EXPECT_EQ(Query(1, 2), 0);
    EXPECT_EQ(Query(1, 3), 0);
    EXPECT_EQ(TestWord(1, 3, 0), 0);

    sign_.Modules().SetDataLineFault(1, 0x0001);
    EXPECT_EQ(TestWord(1, 1, 1), 0x0100);
    EXPECT_EQ(TestWord(1, 1, 0), 0x0040);
    EXPECT_EQ(TestWord(0, 1, 1), 0x0008);
}

TEST_F(SignTest, FailureBitmapsPlaceDeadLedsAndSilentModules) {
    // Line 0, module 1 (columns 0-7): red dead at its bottom-right LED, green at its top-left.
    sign_.Modules().SetDeadLed(7, 7, 0);
    sign_.Modules().SetDeadLed(0, 0, 1);
    std::vector<uint16_t> red = Bitmap(0, 2, 0, 8);
    // Module 2 shifts out first (bits 0-63), module 1 follows: its bit 0 is bit 64.
    EXPECT_EQ(red, (std::vector<uint16_t>{0, 0, 0, 0, 1, 0, 0, 0}));
    std::vector<uint16_t> green = Bitmap(0, 1, 2, 4);
    EXPECT_EQ(green, (std::vector<uint16_t>{0, 0, 0, 0x8000}));
    // A silent module reads as all LEDs failed.
    sign_.Modules().Disconnect(0, 1);
    EXPECT_EQ(Bitmap(0, 2, 4, 8),
              (std::vector<uint16_t>{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0, 0, 0, 0}));
    // Odd channels do not exist on 8-pixel modules.
    EXPECT_EQ(Bitmap(0, 1, 1, 4), (std::vector<uint16_t>{0, 0, 0, 0}));
}

TEST(SignModules16, ChannelHalvesCoverUpperAndLowerRows) {
    sim::ModuleBus bus;
    bus.Configure(sim::ModuleKind::k16x16, {1});
    EXPECT_EQ(bus.Query(0, 1), 1);
    bus.SetDeadLed(15, 15, 2);  // blue, bottom-right: lower half, bit 0
    bus.SetDeadLed(0, 0, 2);    // blue, top-left: upper half, offset 15 row 0: bit 64 + 7*8 + 7
    bus.SelectChannel(0, 1, 5);
    EXPECT_EQ(bus.ResultWord(0), 1);
    bus.SelectChannel(0, 1, 4);
    EXPECT_EQ(bus.ResultWord(0), 0);
    EXPECT_EQ(bus.ResultWord(127 / 16), 0x8000);
}

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/dms-sign-XXXXXX";
        path = ::mkdtemp(tmpl);
    }
    ~TempDir() {
        ::nftw(
            path.c_str(),
            [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }, 8,
            FTW_DEPTH | FTW_PHYS);
    }
    std::string path;
};

TEST(FrameSink, WritesChangedPicturesAsRoundDotsWithBrightness) {
    TempDir dir;
    sim::FrameSink sink;
    ASSERT_TRUE(sink.StartPng(dir.path, 2));
    // 2 x 1 LEDs: a white one and a pure red one (bytes blue, green, red).
    const uint8_t pixels[] = {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xC8};
    sink.Deliver(2, 1, pixels, sizeof pixels, 50);
    ASSERT_TRUE(sink.WaitWritten(5000));
    sim::RgbImage image;
    ASSERT_TRUE(sim::ReadPng(dir.path + "/frames/latest.png", &image));
    ASSERT_EQ(image.width, 2 * sim::kLedCell);
    ASSERT_EQ(image.height, sim::kLedCell);
    auto at = [&](uint32_t x, uint32_t y) {
        const uint8_t* p = image.rgb.data() + (size_t(y) * image.width + x) * 3;
        return std::vector<uint8_t>{p[0], p[1], p[2]};
    };
    EXPECT_EQ(at(sim::LedCentre(0), sim::LedCentre(0)), (std::vector<uint8_t>{127, 127, 127}));
    EXPECT_EQ(at(sim::LedCentre(1), sim::LedCentre(0)), (std::vector<uint8_t>{100, 0, 0}));
    EXPECT_EQ(at(0, 0), (std::vector<uint8_t>{0, 0, 0}));  // the corner of a dot's cell is black

    // The same picture again is not written again; a brightness change is.
    sink.Deliver(2, 1, pixels, sizeof pixels, 50);
    ASSERT_TRUE(sink.WaitWritten(5000));
    EXPECT_EQ(sink.PngsWritten(), 1u);
    sink.Deliver(2, 1, pixels, sizeof pixels, 100);
    ASSERT_TRUE(sink.WaitWritten(5000));
    EXPECT_EQ(sink.PngsWritten(), 2u);
    EXPECT_EQ(sink.Frames(), 3u);
    sim::RgbImage ring;
    EXPECT_TRUE(sim::ReadPng(dir.path + "/frames/0000.png", &ring));
    EXPECT_TRUE(sim::ReadPng(dir.path + "/frames/0001.png", &ring));
    EXPECT_FALSE(sim::ReadPng(dir.path + "/frames/0002.png", &ring));
    EXPECT_FALSE(sim::ReadPng(dir.path + "/frames/latest.png.tmp", &ring));
}

}  // namespace
