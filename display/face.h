#pragma once
// disp::face: one sign face: its configuration, its diagnostics and its frame engine, attached
// by name to a bus of the display registry.

#include <cstdint>

#include "runtime/impl_list.h"

namespace disp {

class bus;
struct face_config;

class face : public impl::node {
public:
    enum State : uint8_t {
        kConstructed = 0,
        kClosed = 1,
        kOpen = 2,
        kDetached = 3,  // open, its bus removed
        kAttached = 4,
    };

    face() = default;
    ~face() override;

    // Forwards to the diagnostics' IsOpen when configured; false otherwise.
    virtual bool DiagnosticsOpen(uint32_t argument);

    // The layout check of the diagnostics (disp::diagnostics::LayoutIsValid).
    static bool ValidateConfig(const face_config* config);
    // False when config is null, the face is open or the configuration is not valid. Opens the
    // frame engine and the diagnostics with this face.
    bool Open(face_config* config);
    // False when not open; detaches, closes the diagnostics and the frame engine.
    bool Close();
    // Only when open (attached or not): false otherwise.
    bool Attach(bus* to);
    // Only when attached.
    bool Detach();
    bool IsOpen() const { return state_ >= kOpen; }

    // One display cycle: the frame engine's Update, then the diagnostics' Run.
    void Update(uint32_t argument);
    void BeginTest();
    void EndTest(uint32_t argument);
    void ClearTestErrorFrame();
    void ClearMessageErrorFrame();

    uint8_t GetState() const { return state_; }
    face_config* Config() const { return config_; }
    bus* Bus() const { return bus_; }
    // The configured face name, or null without a configuration.
    const char* Name() const;
    const char* BusName() const;

private:
    uint8_t state_ = kConstructed;
    face_config* config_ = nullptr;
    bus* bus_ = nullptr;
};

}  // namespace disp
