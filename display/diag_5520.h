#pragma once
// diag_5520: the pixel diagnostics of the sign hardware. Its pixel test asks each module line
// over the module bus which modules answer and which LEDs of each colour string fail, and marks
// the failures in its own 3-bit test frame (bit 0 red, bit 1 green, bit 2 blue, 7 = all).
// The test runs inside the face's cycle on the display thread, with the display task's
// supervision paused around it.

#include <cstdint>

#include "display/diagnostics.h"
#include "display/frame.h"

class PostOffice;

class diag_5520 : public disp::diagnostics {
public:
    // office: where the supervision pause and resume letters go (null: none posted).
    explicit diag_5520(PostOffice* office = nullptr);
    ~diag_5520() override;

    // Base Open, then the test frame of the face's size, 3 bits a pixel, all 0.
    bool Open(disp::face* owner) override;
    bool Close() override;
    bool BeginTest() override;
    bool EndTest(uint32_t argument) override;
    // A started test: the hardware test, EndTest, then every module's failures counted.
    void Run() override;
    bool IsOpen(uint32_t argument = 0) const override;

    // The hardware test over the module bus, into the test frame.
    void RunPixelTest();
    // Tests the LED strings of the first `count` modules of module line `line`: 0, or 1 when
    // the modules answer a size code of no known module type (their pixels are then marked
    // failed: they were not tested).
    uint32_t TestLedStrings(uint32_t count, uint32_t line);

    void SetPostOffice(PostOffice* office) { office_ = office; }
    bool RunRequested() const { return run_ != 0; }

private:
    // Adds bits to the test frame's pixel; positions outside the frame are dropped.
    void MarkPixel(uint32_t x, uint32_t y, uint32_t bits);
    void MarkArea(uint32_t x0, uint32_t x1, uint32_t y0, uint32_t y1);

    disp::frame test_frame_;
    uint8_t run_ = 0;
    uint32_t size_ = 8;  // module size of the running test
    PostOffice* office_;
};

// The sign's diagnostics (face 0).
extern diag_5520 g_Diag5520;
