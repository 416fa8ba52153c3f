// The display registry attaches faces and buses by name in either order, refuses layouts a
// face cannot hold, and forwards a face's cycle to its frame engine and diagnostics.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/bus.h"
#include "display/core.h"
#include "display/diagnostics.h"
#include "display/face.h"
#include "display/face_config.h"
#include "display/frame_engine.h"
#include "display/stream.h"

namespace {

using Calls = std::vector<std::string>;

class RecordingEngine : public disp::frame_engine {
public:
    explicit RecordingEngine(Calls& calls) : calls_(calls) {}
    bool Open(disp::face* f) override {
        calls_.push_back("engine open");
        return frame_engine::Open(f);
    }
    bool Close() override {
        calls_.push_back("engine close");
        return frame_engine::Close();
    }
    void Update(uint32_t argument) override {
        calls_.push_back("engine update " + std::to_string(argument));
    }

private:
    Calls& calls_;
};

class RecordingDiagnostics : public disp::diagnostics {
public:
    explicit RecordingDiagnostics(Calls& calls) : calls_(calls) {}
    bool Open(disp::face* f) override {
        calls_.push_back("diag open");
        return diagnostics::Open(f);
    }
    bool Close() override {
        calls_.push_back("diag close");
        return diagnostics::Close();
    }
    bool BeginTest() override {
        calls_.push_back("diag begin");
        return diagnostics::BeginTest();
    }
    bool EndTest(uint32_t a) override {
        calls_.push_back("diag end " + std::to_string(a));
        return diagnostics::EndTest(a);
    }
    void Run() override { calls_.push_back("diag run"); }
    bool ClearTestErrors() override {
        calls_.push_back("diag clear test");
        return true;
    }
    bool ClearMessageErrors() override {
        calls_.push_back("diag clear message");
        return true;
    }

private:
    Calls& calls_;
};

// A 16 x 96 face of 8 x 8 modules: two lines of twelve.
disp::face_config Layout(disp::diagnostics* diag, disp::frame_engine* engine,
                         const char* name = "primary", const char* busName = "null") {
    disp::face_config c;
    disp::SetConfigName(c.face_name, name);
    disp::SetConfigName(c.bus_name, busName);
    c.pixel_height = 16;
    c.pixel_width = 96;
    c.module_height = 8;
    c.module_width = 8;
    c.bits_per_pixel = 15;
    c.module_lines = 2;
    c.line_lengths[0] = 12;
    c.line_lengths[1] = 12;
    c.total_modules = 24;
    c.diag = diag;
    c.engine = engine;
    return c;
}

// Nine lines of modules 8 wide, with the line lengths given.
disp::face_config NineLines(disp::diagnostics* d, disp::frame_engine* e,
                            std::vector<uint8_t> lengths) {
    disp::face_config c = Layout(d, e);
    c.pixel_height = 72;
    c.module_lines = 9;
    uint32_t widest = 0, total = 0;
    for (size_t i = 0; i < lengths.size() && i < 9; ++i) {
        c.line_lengths[i] = lengths[i];
        widest = std::max<uint32_t>(widest, lengths[i]);
        total += lengths[i];
    }
    c.pixel_width = uint16_t(widest * 8);
    c.total_modules = uint16_t(total);
    return c;
}

class DisplayModel : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(registry.Open());
        ASSERT_TRUE(nullBus.Open("null", &disp::g_DisplayStream));
    }

    Calls calls;
    RecordingEngine engine{calls};
    RecordingDiagnostics diag{calls};
    disp::core registry;
    disp::null_bus nullBus;
};

TEST(LayoutIsValid, RefusesLayoutsAFaceCannotHold) {
    Calls calls;
    RecordingEngine e(calls);
    RecordingDiagnostics d(calls);
    struct Case {
        const char* what;
        disp::face_config config;
        bool valid;
    };
    auto with = [&](auto change) {
        disp::face_config c = Layout(&d, &e);
        change(c);
        return c;
    };
    std::vector<uint8_t> full(9, 64);  // 576 modules in nine lines of 64
    std::vector<uint8_t> oneMore = full;
    oneMore[8] = 65;
    const Case cases[] = {
        {"two lines of twelve", Layout(&d, &e), true},
        {"nine lines, 576 modules", NineLines(&d, &e, full), true},
        {"577 modules", NineLines(&d, &e, oneMore), false},
        {"ten lines", with([](auto& c) {
             c.pixel_height = 80;
             c.module_lines = 10;
         }),
         false},
        {"zero height", with([](auto& c) { c.pixel_height = 0; }), false},
        {"zero width", with([](auto& c) { c.pixel_width = 0; }), false},
        {"zero module height", with([](auto& c) { c.module_height = 0; }), false},
        {"zero module width", with([](auto& c) { c.module_width = 0; }), false},
        {"zero bits per pixel", with([](auto& c) { c.bits_per_pixel = 0; }), false},
        {"no diagnostics", with([](auto& c) { c.diag = nullptr; }), false},
        {"no frame engine", with([](auto& c) { c.engine = nullptr; }), false},
        {"height not whole modules", with([](auto& c) { c.pixel_height = 20; }), false},
        {"lines differ from height", with([](auto& c) { c.module_lines = 3; }), false},
        {"line longer than the width", with([](auto& c) { c.line_lengths[1] = 13; }), false},
        {"total is not the sum", with([](auto& c) { c.total_modules = 23; }), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(disp::diagnostics::LayoutIsValid(&c.config), c.valid) << c.what;
        EXPECT_EQ(disp::face::ValidateConfig(&c.config), c.valid) << c.what;
        disp::face_config copy = c.config;
        disp::face f;
        EXPECT_EQ(f.Open(&copy), c.valid) << c.what;
        EXPECT_EQ(f.GetState(), c.valid ? disp::face::kOpen : disp::face::kConstructed);
    }
    EXPECT_FALSE(disp::diagnostics::LayoutIsValid(nullptr));
}

TEST_F(DisplayModel, OpenAndCloseRunTheEngineAndDiagnostics) {
    disp::face_config config = Layout(&diag, &engine);
    disp::face f;
    EXPECT_FALSE(f.Open(nullptr));
    ASSERT_TRUE(f.Open(&config));
    EXPECT_FALSE(f.Open(&config));
    EXPECT_EQ(diag.Face(), &f);
    f.Update(7);
    f.BeginTest();
    f.EndTest(3);
    f.ClearTestErrorFrame();
    f.ClearMessageErrorFrame();
    EXPECT_TRUE(f.DiagnosticsOpen(0));
    ASSERT_TRUE(registry.AddFace(&f));
    ASSERT_TRUE(registry.AddBus(&nullBus));
    ASSERT_TRUE(f.Close());
    EXPECT_FALSE(f.Close());
    EXPECT_EQ(f.GetState(), disp::face::kClosed);
    EXPECT_EQ(diag.face_bus, nullptr);
    EXPECT_EQ(calls, (Calls{"engine open", "diag open", "engine update 7", "diag run",
                            "diag clear test", "diag begin", "diag end 3", "diag clear test",
                            "diag clear message", "diag close", "engine close"}));
    // A closed face's cycle does nothing.
    calls.clear();
    f.Update(1);
    EXPECT_TRUE(calls.empty());
}

TEST_F(DisplayModel, FacesAndBusesAttachByNameInEitherOrder) {
    disp::face_config config = Layout(&diag, &engine);
    disp::face f;
    ASSERT_TRUE(f.Open(&config));
    ASSERT_TRUE(registry.AddFace(&f));
    EXPECT_EQ(f.GetState(), disp::face::kOpen);  // no bus of its name yet
    ASSERT_TRUE(registry.AddBus(&nullBus));
    EXPECT_EQ(f.GetState(), disp::face::kAttached);
    EXPECT_EQ(f.Bus(), &nullBus);
    EXPECT_EQ(diag.face_bus, &nullBus);
    EXPECT_EQ(nullBus.Owner(), &registry);

    ASSERT_TRUE(registry.RemoveBus(&nullBus));
    EXPECT_EQ(f.GetState(), disp::face::kDetached);
    EXPECT_EQ(diag.face_bus, nullptr);
    EXPECT_EQ(nullBus.Owner(), nullptr);
    EXPECT_FALSE(registry.RemoveBus(&nullBus));
    ASSERT_TRUE(registry.AddBus(&nullBus));
    EXPECT_EQ(f.GetState(), disp::face::kAttached);

    // A face added after its bus attaches at once; another bus name leaves it alone.
    RecordingEngine e2(calls);
    RecordingDiagnostics d2(calls);
    disp::face_config second = Layout(&d2, &e2, "secondary", "other");
    disp::face g;
    ASSERT_TRUE(g.Open(&second));
    ASSERT_TRUE(registry.AddFace(&g));
    EXPECT_EQ(g.GetState(), disp::face::kOpen);
    EXPECT_EQ(registry.FaceCount(), 2u);
    EXPECT_TRUE(registry.HasFace(&g));
}

TEST_F(DisplayModel, DuplicateNamesAndUnopenedObjectsAreRefused) {
    disp::face_config config = Layout(&diag, &engine);
    disp::face f;
    EXPECT_FALSE(registry.AddFace(&f));  // not open
    ASSERT_TRUE(f.Open(&config));
    ASSERT_TRUE(registry.AddFace(&f));
    ASSERT_TRUE(registry.AddBus(&nullBus));

    Calls other;
    RecordingEngine e2(other);
    RecordingDiagnostics d2(other);
    disp::face_config same = Layout(&d2, &e2);
    disp::face twin;
    ASSERT_TRUE(twin.Open(&same));
    EXPECT_FALSE(registry.AddFace(&twin));
    disp::null_bus twinBus;
    ASSERT_TRUE(twinBus.Open("null", &disp::g_DisplayStream));
    EXPECT_FALSE(registry.AddBus(&twinBus));
    EXPECT_EQ(registry.FaceCount(), 1u);
    EXPECT_EQ(registry.BusCount(), 1u);
    EXPECT_EQ(f.Bus(), &nullBus);
    EXPECT_EQ(twin.GetState(), disp::face::kOpen);

    disp::null_bus unnamed;
    EXPECT_FALSE(registry.AddBus(&unnamed));
    EXPECT_FALSE(unnamed.Open(nullptr, &disp::g_DisplayStream));
    EXPECT_FALSE(unnamed.Open("x", nullptr));
    EXPECT_FALSE(registry.AddBus(nullptr));
    EXPECT_FALSE(registry.AddFace(nullptr));
    EXPECT_FALSE(nullBus.Open("null", &disp::g_DisplayStream));  // already open
    EXPECT_TRUE(nullBus.Query(1, 2, 3));

    disp::core closed;
    EXPECT_FALSE(closed.AddFace(&twin));
    EXPECT_FALSE(closed.AddBus(&twinBus));
    EXPECT_FALSE(closed.Close());
}

TEST_F(DisplayModel, AttachAndDetachOnlyFromTheirStates) {
    disp::face_config config = Layout(&diag, &engine);
    disp::face f;
    EXPECT_FALSE(f.Attach(&nullBus));  // not open
    ASSERT_TRUE(f.Open(&config));
    EXPECT_FALSE(f.Detach());
    EXPECT_TRUE(f.Attach(&nullBus));
    EXPECT_FALSE(f.Attach(&nullBus));
    EXPECT_TRUE(f.Detach());
    EXPECT_FALSE(f.Detach());
    EXPECT_EQ(f.GetState(), disp::face::kDetached);
}

TEST_F(DisplayModel, RemovingAFaceOnlyUnlinksIt) {
    disp::face_config config = Layout(&diag, &engine);
    disp::face f;
    ASSERT_TRUE(f.Open(&config));
    ASSERT_TRUE(registry.AddBus(&nullBus));
    ASSERT_TRUE(registry.AddFace(&f));
    ASSERT_TRUE(registry.RemoveFace(&f));
    EXPECT_FALSE(registry.RemoveFace(&f));
    EXPECT_EQ(f.GetState(), disp::face::kDetached);
    EXPECT_EQ(registry.FaceCount(), 0u);
    // The face is intact and registers again.
    ASSERT_TRUE(registry.AddFace(&f));
    EXPECT_EQ(f.GetState(), disp::face::kAttached);
    EXPECT_STREQ(f.Name(), "primary");

    // Closing the registry detaches its faces and forgets both lists.
    ASSERT_TRUE(registry.Close());
    EXPECT_EQ(f.GetState(), disp::face::kDetached);
    EXPECT_EQ(registry.FaceCount(), 0u);
    EXPECT_EQ(registry.BusCount(), 0u);
    EXPECT_FALSE(registry.AddFace(&f));
    ASSERT_TRUE(registry.Open());
    ASSERT_TRUE(registry.AddBus(&nullBus));
    ASSERT_TRUE(registry.AddFace(&f));
    EXPECT_EQ(f.GetState(), disp::face::kAttached);
}

TEST_F(DisplayModel, ABusOwnedByTheListGoesWithIt) {
    auto* owned = new disp::null_bus(1);
    ASSERT_TRUE(owned->Open("owned", &disp::g_DisplayStream));
    ASSERT_TRUE(registry.AddBus(owned));
    disp::null_bus probe;
    ASSERT_TRUE(probe.Open("owned", &disp::g_DisplayStream));
    ASSERT_TRUE(registry.RemoveBus(&probe));  // by name: deletes the registered one
    EXPECT_EQ(registry.BusCount(), 0u);
    EXPECT_EQ(probe.Owner(), nullptr);
}

}  // namespace
