#include "display/frame.h"

#include <algorithm>
#include <cstring>

#include "display/frame_depths.h"

namespace disp {

frame::~frame() {
    frame::Destroy();
}

bool frame::Create(uint16_t height, uint16_t width, uint32_t value, uint32_t depth) {
    if (state_ != nullptr) {
        return false;
    }
    std::unique_ptr<frame_state> made = MakeFrameState(depth);
    if (made == nullptr || !made->Create(height, width, value)) {
        return false;
    }
    state_ = std::move(made);
    return true;
}

bool frame::Destroy() {
    if (state_ == nullptr) {
        return false;
    }
    state_->Free();
    state_.reset();
    return true;
}

bool frame::GetPixel(pixel& p) const {
    return state_ != nullptr && state_->GetPixel(p);
}

bool frame::SetPixel(const pixel& p) {
    return state_ != nullptr && state_->SetPixel(p);
}

bool frame::Copy(const frame* other) {
    if (other == this) {
        return state_ != nullptr;  // the picture is already its own
    }
    if (other == nullptr || state_ == nullptr || other->BitsPerPixel() != BitsPerPixel() ||
        other->Height() != Height() || other->Width() != Width()) {
        return false;
    }
    const frame_state* source = other->State();
    if (source != nullptr) {
        state_->CopyFrom(*source);
        return true;
    }
    // A frame without a state of its own streams its picture in the same packed layout.
    std::memset(state_->Buffer(), 0, state_->ByteSize());
    uint32_t from = 0;
    uint32_t count = 0;
    if (!const_cast<frame*>(other)->ReadChunk(from, state_->Buffer(), state_->ByteSize(), count)) {
        state_->Recount();
        return false;
    }
    state_->Recount();
    return true;
}

bool frame::Fill() {
    return state_ != nullptr && state_->Fill();
}

bool frame::WriteChunk(uint32_t& offset, const uint8_t* data, uint32_t length) {
    if (data == nullptr || state_ == nullptr) {
        return false;
    }
    const uint32_t size = state_->ByteSize();
    if (length > size || offset > size - length) {
        return false;
    }
    state_->WriteBytes(offset, data, length);
    offset += length;
    return true;
}

bool frame::ReadChunk(uint32_t& offset, uint8_t* data, uint32_t length, uint32_t& count) {
    count = 0;
    if (data == nullptr || state_ == nullptr || offset >= state_->ByteSize()) {
        return false;
    }
    std::memset(data, 0, length);
    count = std::min(length, state_->ByteSize() - offset);
    std::memcpy(data, state_->Buffer() + offset, count);
    offset += count;
    return true;
}

uint32_t frame::LitCount() const {
    return state_ != nullptr ? state_->LitCount() : 0;
}

uint32_t frame::BitsPerPixel() const {
    return state_ != nullptr ? state_->BitsPerPixel() : 0;
}

uint16_t frame::Height() const {
    return state_ != nullptr ? state_->Height() : 0;
}

uint16_t frame::Width() const {
    return state_ != nullptr ? state_->Width() : 0;
}

}  // namespace disp
