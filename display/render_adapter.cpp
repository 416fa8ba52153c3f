#include "display/render_adapter.h"

#include <cstring>

#include "display/display_sequencer.h"
#include "display/face.h"
#include "display/face_config.h"
#include "render/render.h"

namespace disp {

render_adapter g_RenderAdapter(&g_Render);

// The renderer may not be built yet when a static adapter is: its surface is taken on use.
render_adapter::render_adapter(CRender* renderer) : frame_(nullptr), renderer_(renderer) {}

render_adapter::~render_adapter() {
    frame_.Destroy();
}

bool render_adapter::Open(face* owner) {
    if (owner == nullptr || owner->Config() == nullptr) {
        return false;
    }
    frame_engine::Open(owner);
    config_ = owner->Config();
    frame_.SetSurface(renderer_ != nullptr ? &renderer_->Surface() : nullptr);
    frame_.Create(config_->pixel_height, config_->pixel_width, 0, config_->bits_per_pixel);
    return true;
}

bool render_adapter::Close() {
    frame_engine::Close();
    config_ = nullptr;
    frame_.Destroy();
    return true;
}

void render_adapter::Update(uint32_t) {
    if (config_ == nullptr || std::strcmp(config_->face_name, "primary") != 0) {
        return;
    }
    if (sequencer_ != nullptr) {
        sequencer_->StepFrameSequence();
        sequencer_->CountDownMessageTime();
    }
    // The sequence may have drawn a new picture.
    frame_.Invalidate();
}

frame* render_adapter::GetFrame() {
    if (renderer_ != nullptr) {
        frame_.SetSurface(&renderer_->Surface());
        frame_.attributes.page_number = renderer_->page_number;
        frame_.attributes.page_on_time = renderer_->page_on_time;
        frame_.attributes.page_off_time = renderer_->page_off_time;
    }
    frame_.Bind();  // a new picture each cycle
    return &frame_;
}

}  // namespace disp
