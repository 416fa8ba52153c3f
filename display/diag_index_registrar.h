#pragma once
// diag_index_registrar: the registry of stored frames the central system reads in chunks: up to
// 26 slots (the current display with its errors, one per message page, the pixel-test errors of
// each face), each with a name, the frame's geometry, depth and kind codes, its face, a timing
// text and up to 62 chunks of the frame's packed bytes. Its whole state is in the volatile image.
//
//   g_DiagIndexRegistrar.Clear();
//   uint32_t slot = 0;
//   g_DiagIndexRegistrar.Register(1, "Pixel Test Errors", 16, 48, 3, 9, &slot);
//   g_DiagIndexRegistrar.StoreFrame(slot, &errors, 0, 0);

#include <cstdint>
#include <memory>

namespace disp {
class frame;
}

class diag_index_registrar {
public:
    static constexpr uint32_t kSlots = 26;
    static constexpr uint32_t kChunks = 62;
    static constexpr uint32_t kChunkStride = 63;  // chunk rows per slot in the image
    static constexpr uint8_t kFree = 1;

    // Every slot free, none in use.
    void Clear();
    // The first free slot takes the result (face is 1-based); false without a name or a free
    // slot.
    bool Register(uint32_t face, const char* name, uint32_t rows, uint32_t columns, uint32_t depth,
                  uint32_t kind, uint32_t* slot);
    // Writes the first and last slot (1-based) of each face's run of slots and their count.
    void UpdateFaceRanges();
    // The frame's packed bytes into the slot's chunks (see the display cycle): with current set,
    // also into currentSlot, and the timing text into both. frameState: the display's frame
    // sequence state.
    void StoreFrame(uint32_t slot, disp::frame* frame, uint32_t current, uint32_t currentSlot,
                    uint32_t frameState);

private:
    uint8_t* ChunkBuffer(uint32_t size);

    std::unique_ptr<uint8_t[]> buffer_;
    uint32_t buffer_size_ = 0;
};

extern diag_index_registrar g_DiagIndexRegistrar;
