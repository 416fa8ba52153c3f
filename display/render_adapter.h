#pragma once
// render_adapter: the frame engine of the sign's primary face. It hands the face the rendered
// image as a frame (its surface_adapter) and, for the face named "primary", steps the display
// task's frame sequence and message duration once per cycle.

#include <cstdint>

#include "display/frame_engine.h"
#include "display/surface_adapter.h"

class CRender;

namespace disp {

class display_sequencer;
struct face_config;

class render_adapter : public frame_engine {
public:
    explicit render_adapter(CRender* renderer);
    ~render_adapter() override;

    // Keeps the face's configuration and sizes the frame to its layout.
    bool Open(face* owner) override;
    // Forgets the configuration.
    bool Close() override;
    // Primary face only: StepFrameSequence, then CountDownMessageTime.
    void Update(uint32_t argument) override;
    // The renderer's page number and page times in the frame's attributes, the surface bound.
    frame* GetFrame() override;

    // The display task that Update drives; none until it is set.
    void SetSequencer(display_sequencer* sequencer) { sequencer_ = sequencer; }
    const face_config* Config() const { return config_; }
    surface_adapter& Frame() { return frame_; }

private:
    surface_adapter frame_;
    CRender* renderer_;
    const face_config* config_ = nullptr;
    display_sequencer* sequencer_ = nullptr;
};

// The render adapter over the sign renderer g_Render.
extern render_adapter g_RenderAdapter;

}  // namespace disp
