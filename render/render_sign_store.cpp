#include "render/render_sign_store.h"

#include <algorithm>
#include <cstring>

#include "database/data_base.h"
#include "render/multi_objects.h"
#include "render/ntcip_font.h"
#include "render/pavor_font.h"
#include "render/render_objects.h"
#include "render/sign_objects.h"

namespace {
constexpr uint32_t kFactoryBlockSize = 1024;
}  // namespace

CRenderSignStore::CRenderSignStore(const RenderSignGeometry& geometry)
    : m_geometry(geometry), m_db(std::make_unique<CDataBase>(4u << 20)) {
    using namespace multi_objects;
    sign_objects::AttachDatabase(m_db.get());
    m_previousEnvironment = MultiSetEnvironment(this);
    m_previousFiles = RenderSetFiles(this);

    SetNv(kSignType.id, 1, geometry.signType);
    SetNv(kSignWidthPixels.id, 2, static_cast<uint32_t>(geometry.width));
    SetNv(kSignHeightPixels.id, 2, static_cast<uint32_t>(geometry.height));
    SetNv(kCharacterWidthPixels.id, 1, geometry.characterWidth);
    SetNv(kCharacterHeightPixels.id, 1, geometry.characterHeight);
    SetNv(kModuleId.id, 2, geometry.moduleId);
    // Factory MULTI defaults: amber on black, centred, font 1, 3 s pages, 0.5 s flashing.
    SetNv(kDefaultForegroundColor.id, 1, 9);
    SetNv(kDefaultBackgroundColor.id, 1, 0);
    SetNv(kDefaultFlashOn.id, 1, 5);
    SetNv(kDefaultFlashOff.id, 1, 5);
    SetNv(kDefaultFont.id, 1, 1);
    SetNv(kDefaultJustificationLine.id, 1, 3);
    SetNv(kDefaultJustificationPage.id, 1, 3);
    SetNv(kDefaultPageOnTime.id, 1, 30);
    SetNv(kDefaultPageOffTime.id, 1, 0);
    SetVolatile(render_objects::kGraphicBlockSize.id, 2, kFactoryBlockSize);
    ImportBuiltinFont("14X10_FHWA_TYPE_E.FNT", 0);
    ImportBuiltinFont("14X10_NARROW.FNT", 1);
}

CRenderSignStore::~CRenderSignStore() {
    RenderSetFiles(m_previousFiles);
    MultiSetEnvironment(m_previousEnvironment);
    sign_objects::AttachDatabase(nullptr);
}

void CRenderSignStore::SetNv(uint32_t id, uint32_t width, uint32_t value) {
    m_db->SetInt(id, width, value, DbImage::kNv, kDbReplayFlags);
}

void CRenderSignStore::SetVolatile(uint32_t id, uint32_t width, uint32_t value) {
    m_db->SetInt(id, width, value, DbImage::kVolatile, kDbReplayFlags);
}

void CRenderSignStore::SetNvString(uint32_t id, const void* bytes, uint32_t length) {
    m_db->SetString(id, 4, bytes, length, DbImage::kNv, kDbReplayFlags);
}

void CRenderSignStore::SetVolatileString(uint32_t id, const void* bytes, uint32_t length) {
    m_db->SetString(id, 4, bytes, length, DbImage::kVolatile, kDbReplayFlags);
}

uint32_t CRenderSignStore::Nv(uint32_t id, uint32_t width) {
    return m_db->GetInt(id, width, DbImage::kNv);
}

uint32_t CRenderSignStore::Volatile(uint32_t id, uint32_t width) {
    return m_db->GetInt(id, width, DbImage::kVolatile);
}

bool CRenderSignStore::ImportBuiltinFont(const char* fileName, uint8_t slot) {
    CPavorFont font;
    if (slot >= CNTCIPFont::kSlots || !font.Load(fileName)) {
        return false;
    }
    const int height = font.Height();
    SetNv(CNTCIPFont::FontNumberId(slot), 1, slot + 1u);
    SetNv(CNTCIPFont::FontHeightId(slot), 1, static_cast<uint32_t>(height));
    SetNv(CNTCIPFont::FontCharSpacingId(slot), 1, static_cast<uint32_t>(font.CharSpacing()));
    SetNv(CNTCIPFont::FontLineSpacingId(slot), 1, static_cast<uint32_t>(font.LineSpacing()));
    SetNvString(CNTCIPFont::FontNameId(slot), fileName,
                static_cast<uint32_t>(std::strlen(fileName)));
    for (uint32_t c = 1; c <= 255; ++c) {
        const uint8_t code = static_cast<uint8_t>(c);
        const int width = font.CharWidth(code);
        SetNv(CNTCIPFont::CharacterWidthId(slot, c), 1, static_cast<uint32_t>(width));
        uint8_t bitmap[100] = {};
        const uint32_t bits = static_cast<uint32_t>(std::max(width, 0) * height);
        if (width == 0 || (bits + 7) / 8 > sizeof bitmap) {
            SetNvString(CNTCIPFont::CharacterBitmapId(slot, c), "", 0);
            continue;
        }
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (font.PixelIsSet(code, x, y)) {
                    const uint32_t bit = static_cast<uint32_t>(y * width + x);
                    bitmap[bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
                }
            }
        }
        SetNvString(CNTCIPFont::CharacterBitmapId(slot, c), bitmap, (bits + 7) / 8);
    }
    return true;
}

void CRenderSignStore::AddGraphic(uint32_t row, uint8_t number, uint8_t height, uint16_t width,
                                  uint8_t type, const std::vector<uint8_t>& pixels,
                                  bool transparency, const std::vector<uint8_t>& transparentColour,
                                  uint8_t status, uint16_t id) {
    using namespace render_objects;
    SetNv(GraphicNumber(row).id, 1, number);
    SetNv(GraphicHeight(row).id, 1, height);
    SetNv(GraphicWidth(row).id, 2, width);
    SetNv(GraphicType(row).id, 1, type);
    SetNv(GraphicId(row).id, 2, id);
    SetNv(GraphicTransparentEnabled(row).id, 1, transparency ? 1 : 0);
    SetNvString(GraphicTransparentColourId(row), transparentColour.data(),
                static_cast<uint32_t>(transparentColour.size()));
    SetNv(GraphicStatus(row).id, 1, status);
    const uint32_t blockSize = Volatile(kGraphicBlockSize.id, 2);
    for (uint32_t block = 0; block < kGraphicBlocks && blockSize != 0; ++block) {
        const size_t start = size_t{block} * blockSize;
        if (start >= pixels.size()) {
            break;
        }
        const size_t length = std::min<size_t>(blockSize, pixels.size() - start);
        SetNvString(GraphicBlockId(row, block), pixels.data() + start,
                    static_cast<uint32_t>(length));
    }
}

void CRenderSignStore::AddFile(const std::string& name, std::vector<uint8_t> bytes) {
    m_files[name] = std::move(bytes);
}

uint32_t CRenderSignStore::GetNv(uint32_t id, uint32_t width) {
    return m_db->GetInt(id, width, DbImage::kNv);
}

uint32_t CRenderSignStore::GetVolatile(uint32_t id, uint32_t width) {
    return m_db->GetInt(id, width, DbImage::kVolatile);
}

bool CRenderSignStore::FileExists(const char* name) {
    return name != nullptr && m_files.count(name) != 0;
}

bool CRenderSignStore::Read(const char* name, const uint8_t** data, uint32_t* size) {
    if (name == nullptr || data == nullptr || size == nullptr) {
        return false;
    }
    const auto it = m_files.find(name);
    if (it == m_files.end()) {
        return false;
    }
    *data = it->second.data();
    *size = static_cast<uint32_t>(it->second.size());
    return true;
}
