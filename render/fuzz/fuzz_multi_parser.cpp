// Feeds arbitrary text to MULTI validation and page-by-page drawing scans. The
// first input byte picks the sign (full, character or line matrix; module
// type; feature bits); a stand-in renderer moves the line, rectangle and
// moving-text indexes as far as the real one may and scribbles line cells, so
// every index the parser takes from the message is exercised.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "render/message.h"
#include "render/multi_environment.h"
#include "render/multi_objects.h"
#include "render/multi_parser.h"

namespace {

using namespace multi_objects;

class FuzzEnvironment final : public CMultiEnvironment {
public:
    void Configure(uint8_t choice) {
        static const uint32_t kTypes[] = {6, 4, 5, 132};
        sign_type = kTypes[choice & 3];
        module = (choice & 4) ? 116 : 0;
        features = ((choice & 8) ? kFeatureDatabaseDefaults : 0) |
                   ((choice & 16) ? kFeatureCompatibility : 0);
        cell_height = (choice & 32) ? 0 : 7;
    }

    uint32_t GetNv(uint32_t id, uint32_t) override {
        if (id == kSignType.id)
            return sign_type;
        if (id == kSignWidthPixels.id)
            return 60;
        if (id == kSignHeightPixels.id)
            return 21;
        if (id == kCharacterWidthPixels.id)
            return 5;
        if (id == kCharacterHeightPixels.id)
            return cell_height;
        if (id == kModuleId.id)
            return module;
        if (id == kSpecialFeatureSet.id)
            return features;
        if (id == kDefaultFlashOn.id || id == kDefaultFlashOff.id)
            return 3;
        if (id == kDefaultFont.id)
            return 1;
        if (id >= 72 && id < 72 + kFontSlots)
            return id - 71;  // fonts 1-20
        if (id >= 212 && id < 212 + kFontSlots)
            return 255;  // line spacing
        if (id >= 35320 && id < 35320 + kGraphicRows)
            return id - 35319;
        if (id >= 36124 && id < 36124 + kGraphicRows)
            return 4 + (id & 3);
        if (id >= 35572 && id < 35572 + kGraphicRows)
            return 8;
        if (id >= 35622 && id < 35622 + 2 * kGraphicRows)
            return 10;
        return 0;
    }
    uint32_t GetVolatile(uint32_t, uint32_t) override { return 0xF6; }
    bool FileExists(const char* name) override { return std::strlen(name) % 2 == 0; }
    void SetGpo(unsigned, bool) override {}

    uint32_t sign_type = 6;
    uint32_t module = 0;
    uint32_t features = 0;
    uint32_t cell_height = 7;
};

FuzzEnvironment g_Environment;

MultiParseResult Renderer(void* context, CMessage* message) {
    CMessage& m = *message;
    const uint32_t salt = *static_cast<uint32_t*>(context);
    switch (m.element_kind) {
        case kElementText:
            // Reads the whole run, as the renderer does.
            for (uint32_t i = 0; i < m.element.count; ++i) {
                volatile char c = m.element.text[i];
                (void)c;
            }
            m.CurrentLine().largest_font_line_spacing = static_cast<uint8_t>(salt);
            m.CurrentLine().recorded_justification = static_cast<uint8_t>(salt % 6);
            break;
        case kElementNewLine:
            if (m.current_line < CMessage::kLines)
                ++m.current_line;
            break;
        case kElementTextRectangle:
            if (m.current_text_rectangle < CMessage::kRectangles)
                ++m.current_text_rectangle;
            break;
        case kElementMovingTextEnd:
            if (m.current_moving_text < CMessage::kMovingTexts)
                ++m.current_moving_text;
            break;
        case kElementEndMeasuring: {
            line_cell& cell = m.CurrentLine();
            cell.left_width = static_cast<uint16_t>(salt);
            cell.centre_width = static_cast<uint16_t>(salt >> 8);
            cell.height = static_cast<uint16_t>(salt >> 16);
            break;
        }
        case kElementStartDrawing:
            m.current_moving_text = 0;
            break;
        default:
            break;
    }
    m.ClearElement();
    return (salt & 0xF000) == 0xF000 ? kMultiTextTooBig : kMultiOk;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 4096) {
        return 0;
    }
    MultiSetEnvironment(&g_Environment);
    g_Environment.Configure(data[0]);
    uint32_t salt =
        size >= 4 ? (uint32_t{data[1]} | uint32_t{data[2]} << 8 | uint32_t{data[3]} << 16) : 0;
    // An exact copy, so that any read past the end is caught.
    std::vector<char> text(data + 1, data + size);
    const uint32_t length = static_cast<uint32_t>(text.size());

    CMessage message;
    CMULTIParser parser;
    message.SetWholeSignRectangles(60, 21);
    message.frame_rate = static_cast<uint8_t>(salt);
    parser.Validate(&salt, Renderer, &message, text.data(), length);

    parser.SetMessage(&salt, Renderer, &message, text.data(), length);
    for (int page = 0; page < 8 && parser.ParseNextPage(&message); ++page) {
        parser.ReparsePage(&message);
    }
    parser.ParsePage(&salt, Renderer, &message, salt % 9);
    parser.CountPages(text.data(), length);

    uint32_t next = 0;
    parser.ScanPage(&salt, Renderer, &message, text.data(), length, salt % (length + 2), &next,
                    (salt & 1) != 0);
    MultiSetEnvironment(nullptr);
    return 0;
}
