#pragma once
// disp::diagnostics: base of a face's pixel diagnostics: the slots the face and the display
// task call, the error frames and the check of a face's module layout. The hardware classes
// derive from it.

#include <cstdint>

namespace disp {

class bus;
class face;
class frame;
class module;
struct face_config;

class diagnostics {
public:
    enum State : uint8_t { kNew = 0, kClosed = 1, kOpen = 2, kIdle = 3, kTesting = 4 };

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

    // State below open; false when the face has no configuration or its layout is not valid.
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
    virtual bool FirstModule(uint32_t* position, module** record);
    virtual bool NextModule(uint32_t* position, module** record);
    virtual uint32_t SkipTestWait() { return 0; }
    virtual uint8_t GetTestStatus() { return test_status_; }
    virtual uint8_t IsTestFinished() { return test_finished_; }

    uint8_t GetState() const { return state_; }
    face* Face() const { return face_; }
    const face_config* Config() const { return config_; }
    frame* TestErrorFrame() const { return test_error_frame_; }
    frame* MessageErrorFrame() const { return message_error_frame_; }

    // The bus of the attached face; set and cleared by the face.
    bus* face_bus = nullptr;

protected:
    uint8_t state_ = kNew;
    face* face_ = nullptr;
    const face_config* config_ = nullptr;
    uint8_t test_status_ = 1;
    uint8_t test_finished_ = 1;
    frame* test_error_frame_ = nullptr;
    frame* message_error_frame_ = nullptr;
};

}  // namespace disp
