// The controller shows its sign as frames/latest.png: blank at boot after the EPLD is programmed,
// then a message activated through a request slot, page by page, decoded back from the PNGs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "app/board.h"
#include "app/command_line.h"
#include "app/tests/job_queue_runner.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "platform/kernel/kernel.h"
#include "platform/sim/png_file.h"
#include "render/msg_activation_code.h"
#include "render/surface.h"
#include "runtime/debug_print.h"

namespace {

std::mutex g_lock;
std::string g_console;

void Capture(const char* text) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_console += text;
}

bool Printed(const std::string& what) {
    for (int i = 0; i < 6000; ++i) {
        {
            std::lock_guard<std::mutex> lock(g_lock);
            if (g_console.find(what) != std::string::npos) {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void Nap(std::atomic<bool>&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

std::vector<uint8_t> LedAt(const sim::RgbImage& image, uint32_t x, uint32_t y) {
    const uint8_t* p =
        image.rgb.data() + (size_t(sim::LedCentre(y)) * image.width + sim::LedCentre(x)) * 3;
    return {p[0], p[1], p[2]};
}

// Polls the PNG until the LED shows the colour (the writer runs on its own thread).
bool ShowsAt(const std::string& path, uint32_t x, uint32_t y, const std::vector<uint8_t>& rgb) {
    for (int i = 0; i < 500; ++i) {
        sim::RgbImage image;
        if (sim::ReadPng(path, &image) && image.width > sim::LedCentre(x) &&
            image.height > sim::LedCentre(y) && LedAt(image, x, y) == rgb) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Runs fn on a controller thread (the job queue's) and waits for it.
void OnThread(std::function<void()> fn) {
    ASSERT_TRUE(app_test::RunOnJobQueue(std::move(fn)));
}

constexpr unsigned kRing = 400;

// One letter per ring picture in sequence order: '-' dark, 'L' lit only in the left half,
// 'R' only in the right half, '?' anything else. Stops at the first missing file.
std::string RingClasses(const std::filesystem::path& frames, unsigned ring) {
    std::string out;
    for (unsigned n = 0; n < ring; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "%04u.png", n);
        sim::RgbImage image;
        if (!sim::ReadPng((frames / name).string(), &image)) {
            break;
        }
        bool left = false, right = false;
        for (uint32_t y = 0; y < image.height / sim::kLedCell; ++y) {
            for (uint32_t x = 0; x < image.width / sim::kLedCell; ++x) {
                if (LedAt(image, x, y) != std::vector<uint8_t>{0, 0, 0}) {
                    (x < image.width / sim::kLedCell / 2 ? left : right) = true;
                }
            }
        }
        out += left && right ? '?' : left ? 'L' : right ? 'R' : '-';
    }
    return out;
}

TEST(SignOutput, BootShowsABlankSignThenAnActivatedMessagePageByPage) {
    const std::filesystem::path dir =
        std::filesystem::path(::testing::TempDir()) / ("dmsc_sign_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    g_console.clear();
    DebugSetSink(&Capture);
    CommandLine line;
    line.board_dir = dir.string();
    line.frame_ring = kRing;
    std::atomic<bool> stop{false};
    std::thread runner([&] { RunBoard(line, 0, nullptr, stop, &Nap); });
    ASSERT_TRUE(Printed(" - Programming EPLD\t\t\t\t\t[ OK ]\n"));
    ASSERT_TRUE(Printed("Launching Thread(s)"));

    // The factory sign: 16 x 24 LEDs, all dark.
    const std::string latest = (dir / "frames" / "latest.png").string();
    ASSERT_TRUE(ShowsAt(latest, 23, 15, {0, 0, 0}));
    sim::RgbImage image;
    ASSERT_TRUE(sim::ReadPng(latest, &image));
    EXPECT_EQ(image.width, 24 * sim::kLedCell);
    EXPECT_EQ(image.height, 16 * sim::kLedCell);
    for (size_t i = 0; i < image.rgb.size(); ++i) {
        ASSERT_EQ(image.rgb[i], 0) << i;
    }

    // A two-page message with a flashing first page, activated through slot 6 as every
    // writer does: page 1 flashes "A" at the left, page 2 shows "B" at the right.
    OnThread([] {
        const std::string text = "[pt12o0][jl2][flt3o3]A[/fl][np][pt12o0][jl4]B";
        g_DataBase.SetText(dbo::dmsMessageMultiString, text.data(), uint32_t(text.size()),
                           kDbSkipValidation, 0);
        // Amber on black.
        g_DataBase.Set(dbo::defaultBackgroundColor, 0, kDbSkipValidation);
        g_DataBase.Set(dbo::defaultForegroundColor, 9, kDbSkipValidation);
        g_DataBase.Set(dbo::dmsMessageCRC, 0x4242, kDbSkipValidation, 0);
        g_DataBase.Set(dbo::dmsMessageStatus, 4, kDbSkipValidation, 0);
        CMsgActivationCode code;
        code.duration = 65535;
        code.priority = 255;
        code.memoryType = 3;
        code.messageNumber = 1;
        code.crc = 0x4242;
        std::memset(code.sourceAddress, 0, 4);
        code.Pack();
        g_DataBase.Set(dbo::requestSourceMode, 8, kDbNotify, 6);
        g_DataBase.Set(dbo::requestOrigin, 2, kDbNotify, 6);
        g_DataBase.SetText(dbo::requestCode, code.raw, 12, kDbNotify, 6);
    });
    // Pictures in the ring, in order: left lit (page 1), dark (its flash off), right lit (2).
    std::string seen;
    for (int i = 0; i < 800 && seen.find("L-L") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        seen = RingClasses(dir / "frames", kRing);
    }
    for (int i = 0; i < 800 && seen.find('R', seen.find("L-L")) == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        seen = RingClasses(dir / "frames", kRing);
    }
    EXPECT_NE(seen.find("L-L"), std::string::npos)
        << seen << " error " << g_DataBase.Get(dbo::dmsActivateMsgError);
    EXPECT_NE(seen.find('R', seen.find("L-L")), std::string::npos) << seen;
    EXPECT_EQ(seen.find('?'), std::string::npos) << seen;
    stop.store(true);
    runner.join();
    DebugSetSink(nullptr);
    if (!getenv("KEEP"))
        std::filesystem::remove_all(dir);
}

}  // namespace
