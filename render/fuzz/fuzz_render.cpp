// Renders arbitrary MULTI text, every page over a few frames, on small signs of each type.
// The first byte picks the sign; the rest is the text.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "render/multi_objects.h"
#include "render/render.h"
#include "render/render_objects.h"
#include "render/render_player.h"
#include "render/render_sign_store.h"

namespace {

// One store for the whole run (building the fonts is slow); each input sets its geometry.
struct Sign {
    explicit Sign(const RenderSignGeometry& g) : store(g) {
        store.SetVolatile(render_objects::kControllerLocalTime.id, 4, 1796738700);
        store.SetVolatileString(render_objects::kRemoteTextId, "REMOTE TEXT FROM A CENTRAL", 26);
        const std::vector<uint8_t> ring(100, 1);
        store.AddGraphic(0, 1, 10, 10, 2, ring, true, {0});
        store.AddGraphic(1, 2, 8, 8, 4, std::vector<uint8_t>(192, 0x80));
        store.AddGraphic(2, 3, 16, 16, 1, std::vector<uint8_t>(32, 0x5A), false, {}, 6);
    }
    void Use(const RenderSignGeometry& g) {
        using namespace multi_objects;
        store.SetNv(kSignType.id, 1, g.signType);
        store.SetNv(kSignWidthPixels.id, 2, static_cast<uint32_t>(g.width));
        store.SetNv(kSignHeightPixels.id, 2, static_cast<uint32_t>(g.height));
        store.SetNv(kCharacterWidthPixels.id, 1, g.characterWidth);
        store.SetNv(kCharacterHeightPixels.id, 1, g.characterHeight);
        store.SetNv(kModuleId.id, 2, g.moduleId);
        render.AllocateSurface(g.height, g.width, g.bitsPerPixel);
    }
    CRenderSignStore store;
    CRender render;
};

RenderSignGeometry Geometry(uint8_t pick) {
    RenderSignGeometry g;
    g.width = 48;
    g.height = 16;
    switch (pick % 4) {
        case 1:
            g.signType = 5;  // line matrix, 16-pixel rows
            g.characterHeight = 16;
            g.width = 40;
            g.height = 32;
            break;
        case 2:
            g.signType = 4;  // character matrix, 5 x 16 cells
            g.characterWidth = 5;
            g.characterHeight = 16;
            g.moduleId = 0;
            g.width = 40;
            break;
        case 3:
            g.bitsPerPixel = 1;
            break;
        default:
            break;
    }
    return g;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 4096) {
        return 0;
    }
    static Sign sign(Geometry(0));
    sign.Use(Geometry(data[0]));
    // An exact copy, so that any read past the end is caught.
    const std::vector<char> text(data + 1, data + size);
    auto player = std::make_unique<CRenderPlayer>(sign.render);
    if (player->Load(text.data(), static_cast<uint32_t>(text.size())) != kMultiOk) {
        return 0;
    }
    for (uint32_t page = 0; page < player->Pages() && page < 6; ++page) {
        if (page > 0) {
            player->NextPage();
        }
        for (int frame = 0; frame < 4; ++frame) {
            player->NextFrame();
        }
    }
    return 0;
}
