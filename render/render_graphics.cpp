#include "render/render_graphics.h"

#include <algorithm>

#include "database/data_base.h"
#include "database/multi_colour24.h"
#include "render/multi_environment.h"
#include "render/render_files.h"
#include "render/render_objects.h"
#include "render/sign_objects.h"
#include "render/surface.h"

namespace {

using namespace render_objects;

uint32_t Nv(Ref ref) {
    return MultiEnvironment().GetNv(ref.id, ref.width);
}

// Longest block read; longer blocks are read up to here.
constexpr uint32_t kMaxBlockBytes = 2048;

// Reads the pixel data block by block, each within the length stored for it.
class BlockReader {
public:
    BlockReader(CDataBase* db, uint32_t row) : m_db(db), m_row(row) {}

    // Byte `offset` of block `block`; false past the last block or the block's stored data.
    bool Byte(uint32_t block, uint32_t offset, uint8_t& value) {
        if (m_db == nullptr || block >= kGraphicBlocks) {
            return false;
        }
        if (block != m_block) {
            m_block = block;
            m_length = std::min(
                m_db->ReadString(GraphicBlockId(m_row, block), DbImage::kNv, m_data, sizeof m_data),
                static_cast<uint32_t>(sizeof m_data));
        }
        if (offset >= m_length) {
            return false;
        }
        value = m_data[offset];
        return true;
    }

private:
    CDataBase* m_db;
    uint32_t m_row;
    uint32_t m_block = 0xFFFFFFFF;
    uint32_t m_length = 0;
    uint8_t m_data[kMaxBlockBytes];
};

}  // namespace

uint32_t RenderColourToRgb24(uint32_t number) {
    return multi_colour_to_rgb24(number, Nv(multi_objects::kModuleId));
}

uint32_t RenderRgb24ToRgb15(uint32_t rgb) {
    return multi_rgb24_to_rgb15(rgb);
}

void RenderDrawGraphic(CSurface& surface, uint32_t row, int32_t x, int32_t y, uint32_t foreground,
                       uint32_t background) {
    CDataBase* db = sign_objects::Database();
    if (db == nullptr || row >= kGraphicRows) {
        return;
    }
    const uint32_t height = Nv(GraphicHeight(row));
    const uint32_t width = Nv(GraphicWidth(row));
    const uint32_t type = Nv(GraphicType(row));
    const bool transparency = Nv(GraphicTransparentEnabled(row)) != 0;
    uint8_t t[3] = {};
    db->ReadString(GraphicTransparentColourId(row), DbImage::kNv, t, sizeof t);
    const uint32_t blockSize =
        MultiEnvironment().GetVolatile(kGraphicBlockSize.id, kGraphicBlockSize.width);
    if (blockSize == 0 || type < 1 || type > 4) {
        return;
    }
    const uint32_t perBlock = type == 1 ? blockSize * 8 : type == 4 ? blockSize / 3 : blockSize;
    if (perBlock == 0) {
        return;
    }
    const bool hasBackground = background != CSurface::kNoColour;
    BlockReader reader(db, row);
    for (uint32_t py = 0; py < height; ++py) {
        for (uint32_t px = 0; px < width; ++px) {
            const uint32_t pixel = py * width + px;
            const uint32_t block = pixel / perBlock;
            const uint32_t index = pixel % perBlock;
            if (block >= kGraphicBlocks) {
                return;
            }
            uint32_t colour = CSurface::kNoColour;
            uint8_t p0 = 0;
            switch (type) {
                case 1: {
                    if (!reader.Byte(block, index / 8, p0)) {
                        continue;
                    }
                    const bool lit = (p0 >> (7 - index % 8) & 1) != 0;
                    if (lit && !(transparency && t[0] == 1)) {
                        colour = foreground;
                    } else if (!lit && hasBackground && !(transparency && t[0] == 0)) {
                        colour = background;
                    }
                    break;
                }
                case 2:
                    if (!reader.Byte(block, index, p0) || (transparency && p0 == t[0])) {
                        continue;
                    }
                    if (p0 != 0) {
                        colour = foreground;
                    } else if (hasBackground) {
                        colour = background;
                    }
                    break;
                case 3:
                    if (!reader.Byte(block, index, p0) || (transparency && p0 == t[0])) {
                        continue;
                    }
                    colour = RenderRgb24ToRgb15(RenderColourToRgb24(p0));
                    break;
                case 4: {
                    uint8_t p1 = 0;
                    uint8_t p2 = 0;
                    if (!reader.Byte(block, index * 3, p0) ||
                        !reader.Byte(block, index * 3 + 1, p1) ||
                        !reader.Byte(block, index * 3 + 2, p2)) {
                        continue;
                    }
                    if (transparency && t[0] == p2 && t[1] == p1 && t[2] == p0) {
                        continue;
                    }
                    colour = (p2 >> 3u) | (p1 >> 3u) << 5 | (p0 >> 3u) << 10;
                    break;
                }
                default:
                    return;
            }
            if (colour != CSurface::kNoColour) {
                surface.SetPixel(x - 1 + static_cast<int32_t>(px), y - 1 + static_cast<int32_t>(py),
                                 colour);
            }
        }
    }
}

MultiParseResult RenderGraphicElement(CMessage& message) {
    const multi_element& e = message.element;
    int found = -1;
    for (uint32_t i = 0; i < kGraphicRows && e.graphic_number != 0; ++i) {
        if (Nv(GraphicNumber(i)) == e.graphic_number) {
            found = static_cast<int>(i);
            break;
        }
    }
    if (found < 0) {
        return kMultiGraphicNotDefined;
    }
    const uint32_t row = static_cast<uint32_t>(found);
    const uint32_t status = Nv(GraphicStatus(row));
    if (status != kGraphicReady && status != kGraphicInUse && status != kGraphicPermanent) {
        return kMultiGraphicNotDefined;
    }
    if (message.measuring_pass) {
        return kMultiOk;
    }
    CDataBase* db = sign_objects::Database();
    if (!message.trial_render && status != kGraphicPermanent && status != kGraphicInUse &&
        db != nullptr) {
        db->SetInt(GraphicStatus(row).id, 1, kGraphicInUse, DbImage::kNv,
                   kDbNotify | kDbSkipValidation);
    }
    if (message.target_surface != nullptr && Nv(GraphicId(row)) == e.graphic_id) {
        RenderDrawGraphic(*message.target_surface, row, e.x, e.y, message.foreground_colour,
                          message.character_background_colour);
    }
    return kMultiOk;
}

void RenderBitmapElement(CMessage& message) {
    const multi_element& e = message.element;
    CRenderFiles* files = RenderFiles();
    if (message.measuring_pass || message.target_surface == nullptr || files == nullptr ||
        e.file_name[0] == '\0') {
        return;
    }
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    if (files->Read(e.file_name, &data, &size) && data != nullptr) {
        message.target_surface->DrawBmp(data, size, e.x, e.y);
    }
}
