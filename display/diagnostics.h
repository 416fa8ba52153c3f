#pragma once
// disp::diagnostics: base of a face's pixel diagnostics: the slots the face and the display
// task call, the error frames, the face's module records and the check of a face's module
// layout. The hardware classes derive from it.

#include <cstdint>

#include "display/module.h"
#include "platform/kernel/tx_api.h"

namespace disp {

class bus;
class face;
class frame;
struct face_config;

class diagnostics {
public:
    enum State : uint8_t { kNew = 0, kClosed = 1, kOpen = 2, kIdle = 3, kTesting = 4 };
    static constexpr uint32_t kMaxModules = 576;

    diagnostics() = default;
    diagnostics(const diagnostics&) = delete;
    diagnostics& operator=(const diagnostics&) = delete;
    virtual ~diagnostics();

    // True when the record describes a layout the face can hold: diagnostics and frame engine
    // set; pixel height, pixel width, module height, module width and bits per pixel nonzero;
    // pixel height is whole modules, as many as the module lines, at most 9 of them; no line longer
    // than pixel width / module width; the total modules the sum of the line lengths, at most
    // 576. Every reader that indexes the line or module arrays relies on it.
    static bool LayoutIsValid(const face_config* config);
    // The number of the module holding face pixel (x, y): the modules of the lines above plus
    // the module column. False for a position the layout does not hold (beyond its lines, or
    // beyond 576 modules): no array is indexed with it.
    static bool ModuleNumberAt(const face_config& config, uint32_t x, uint32_t y, uint32_t* number);

    // State below open; false when the face has no configuration or its layout is not valid.
    // Creates "Diag Mutex" and opens one module record per module of the layout.
    virtual bool Open(face* owner);
    virtual bool Close();
    virtual bool BeginTest();
    virtual bool EndTest(uint32_t argument);
    virtual void Run();
    virtual bool IsOpen(uint32_t argument = 0) const;
    // Fill the pixel-test or message-display error frame with its start value; false when
    // closed or without that frame.
    virtual bool ClearTestErrors();
    virtual bool ClearMessageErrors();
    virtual void Reserved10() {}
    virtual void Reserved11() {}
    virtual uint32_t Reserved12() { return 0; }
    virtual uint32_t Reserved13() { return 0; }
    virtual uint32_t Reserved14() { return 0; }
    // Position 0 and record 0; false when an argument is null or there are no records.
    virtual bool FirstModule(uint32_t* position, module** record);
    // The next record; false once the position reaches the face's module count.
    virtual bool NextModule(uint32_t* position, module** record);
    virtual uint32_t SkipTestWait() { return 0; }
    virtual uint8_t GetTestStatus() { return test_status_; }
    virtual uint8_t IsTestFinished() { return test_finished_; }

    uint8_t GetState() const { return state_; }
    face* Face() const { return face_; }
    const face_config* Config() const { return config_; }
    frame* TestErrorFrame() const { return test_error_frame_; }
    frame* MessageErrorFrame() const { return message_error_frame_; }
    // Module records in use (the face's module count while open, else 0).
    uint32_t ModuleCount() const;
    module* Module(uint32_t k) { return k < ModuleCount() ? &modules_[k] : nullptr; }
    // Changes whenever an error frame may have changed (clears, a test); readers that keep
    // results drawn from the frames compare it.
    uint32_t ErrorGeneration() const { return error_generation_; }

    // The bus of the attached face; set and cleared by the face.
    bus* face_bus = nullptr;

protected:
    // "Diag Mutex", waiting forever; false when it is missing or cannot be taken.
    bool Lock();
    void Unlock();
    void ErrorsChanged() { ++error_generation_; }

    uint8_t state_ = kNew;
    face* face_ = nullptr;
    const face_config* config_ = nullptr;
    uint8_t test_status_ = 1;
    uint8_t test_finished_ = 1;
    frame* test_error_frame_ = nullptr;
    frame* message_error_frame_ = nullptr;

private:
    TX_MUTEX mutex_{};
    bool mutex_created_ = false;
    uint32_t error_generation_ = 0;
    module modules_[kMaxModules];
};

}  // namespace disp
