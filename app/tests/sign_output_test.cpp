// The controller shows its sign as frames/latest.png: blank at boot after the EPLD is programmed,
// and what the sign driver sends afterwards, decoded back from the PNG.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "app/board.h"
#include "app/command_line.h"
#include "app/sign_startup.h"
#include "display/q2_display_driver.h"
#include "platform/kernel/kernel.h"
#include "platform/sim/png_file.h"
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
    for (int i = 0; i < 1000; ++i) {
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

TEST(SignOutput, BootShowsABlankSignThenWhatTheDriverSends) {
    const std::filesystem::path dir =
        std::filesystem::path(::testing::TempDir()) / ("dmsc_sign_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    g_console.clear();
    DebugSetSink(&Capture);
    CommandLine line;
    line.board_dir = dir.string();
    line.frame_ring = 3;
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

    // A red and a white LED at full brightness.
    kernel::Post([] {
        static CSurface surface;
        surface.Allocate(16, 24, 15);
        surface.SetPixel(3, 2, 0x001F);
        surface.SetPixel(23, 15, 0x7FFF);
        SignDriver()->SetBrightness(255);
        SignDriver()->WriteFrame(&surface, 0, 0);
    });
    EXPECT_TRUE(ShowsAt(latest, 3, 2, {255, 0, 0}));
    EXPECT_TRUE(ShowsAt(latest, 23, 15, {255, 255, 255}));
    ASSERT_TRUE(sim::ReadPng(latest, &image));
    EXPECT_EQ(LedAt(image, 4, 2), (std::vector<uint8_t>{0, 0, 0}));
    stop.store(true);
    runner.join();
    DebugSetSink(nullptr);
    EXPECT_TRUE(std::filesystem::exists(dir / "frames" / "0000.png"));
    EXPECT_TRUE(std::filesystem::exists(dir / "frames" / "0001.png"));
    std::filesystem::remove_all(dir);
}

}  // namespace
