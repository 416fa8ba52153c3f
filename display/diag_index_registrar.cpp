#include "display/diag_index_registrar.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/frame.h"

diag_index_registrar g_DiagIndexRegistrar;

namespace {

constexpr uint32_t kFaces = 2;

void SetNotified(const DbObject& object, uint32_t value, uint32_t row = 0) {
    g_DataBase.Set(object, value, kDbNotify, row);
}

}  // namespace

void diag_index_registrar::Clear() {
    for (uint32_t s = 0; s < kSlots; ++s) {
        SetNotified(dbo::pixelTestSlotType, kFree, s);
    }
    SetNotified(dbo::pixelTestSlotsInUse, 0);
}

bool diag_index_registrar::Register(uint32_t face, const char* name, uint32_t rows,
                                    uint32_t columns, uint32_t depth, uint32_t kind,
                                    uint32_t* slot) {
    if (name == nullptr) {
        return false;
    }
    uint32_t s = 0;
    while (s < kSlots && g_DataBase.Get(dbo::pixelTestSlotType, s) != kFree) {
        ++s;
    }
    if (s == kSlots) {
        return false;
    }
    g_DataBase.SetText(dbo::pixelTestSlotName, name, uint32_t(std::strlen(name)), kDbNotify, s);
    SetNotified(dbo::pixelTestSlotRows, rows & 0xFF, s);
    SetNotified(dbo::pixelTestSlotColumns, columns & 0xFFFF, s);
    SetNotified(dbo::pixelTestSlotDepth, depth & 0xFF, s);
    SetNotified(dbo::pixelTestSlotFace, face & 0xFF, s);
    SetNotified(dbo::pixelTestSlotType, kind & 0xFF, s);
    SetNotified(dbo::pixelTestSlotsInUse, g_DataBase.Get(dbo::pixelTestSlotsInUse) + 1);
    if (slot != nullptr) {
        *slot = s;
    }
    UpdateFaceRanges();
    return true;
}

void diag_index_registrar::UpdateFaceRanges() {
    uint32_t ranges = 0;
    uint32_t face = 0;  // face of the open range, 0: none
    uint32_t first = 0;
    uint32_t last = 0;
    const auto close = [&] {
        if (face != 0 && face <= kFaces) {
            SetNotified(dbo::pixelTestFaceFirstSlot, first, face - 1);
            SetNotified(dbo::pixelTestFaceLastSlot, last, face - 1);
        }
        if (face != 0) {
            ++ranges;
        }
        face = 0;
    };
    for (uint32_t s = 0; s < kSlots; ++s) {
        if (g_DataBase.Get(dbo::pixelTestSlotType, s) == kFree) {
            close();
            continue;
        }
        const uint32_t slotFace = g_DataBase.Get(dbo::pixelTestSlotFace, s);
        if (face != 0 && slotFace > face) {
            close();
        }
        if (face == 0) {
            face = slotFace;
            first = s + 1;
        }
        last = s + 1;
    }
    close();
    SetNotified(dbo::pixelTestFaceCount, ranges);
}

uint8_t* diag_index_registrar::ChunkBuffer(uint32_t size) {
    if (size == 0) {
        return nullptr;
    }
    if (buffer_size_ != size) {
        buffer_.reset(new (std::nothrow) uint8_t[size]);
        buffer_size_ = buffer_ != nullptr ? size : 0;
    }
    return buffer_.get();
}

void diag_index_registrar::StoreFrame(uint32_t slot, disp::frame* frame, uint32_t current,
                                      uint32_t currentSlot, uint32_t frameState) {
    const uint32_t size = g_DataBase.Get(dbo::pixelTestChunkSize);
    uint8_t* chunk = frame != nullptr ? ChunkBuffer(size) : nullptr;
    if (chunk == nullptr || slot >= kSlots || (current != 0 && currentSlot >= kSlots)) {
        return;
    }
    if (current != 0) {
        char timing[16];
        const int length =
            std::snprintf(timing, sizeof timing, "%d,%d", int(frame->attributes.page_on_time),
                          int(frame->attributes.page_off_time));
        g_DataBase.SetText(dbo::pixelTestSlotDimension, timing, uint32_t(length), kDbNotify,
                           currentSlot);
        g_DataBase.SetText(dbo::pixelTestSlotDimension, timing, uint32_t(length), kDbNotify, slot);
    }
    const bool toSlot = frameState == 3 || frameState == 5 || current == 0;
    uint32_t offset = 0;
    for (uint32_t j = 0; j < kChunks; ++j) {
        uint32_t count = 0;
        if (!frame->ReadChunk(offset, chunk, size, count) || count == 0) {
            break;
        }
        if (toSlot) {
            g_DataBase.SetText(dbo::pixelTestResultChunk, chunk, count, kDbNotify,
                               kChunkStride * slot + j);
        }
        if (current != 0) {
            g_DataBase.SetText(dbo::pixelTestResultChunk, chunk, count, kDbNotify,
                               kChunkStride * currentSlot + j);
        }
    }
}
