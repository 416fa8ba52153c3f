// Validate of a full 2500-byte, six-page message: with a callback that only
// moves the indexes (the parser's own cost), and with the renderer measuring
// every glyph of the built-in fonts on a 240 x 72 sign.

#include <benchmark/benchmark.h>

#include <string>

#include "render/message.h"
#include "render/multi_environment.h"
#include "render/multi_objects.h"
#include "render/multi_parser.h"
#include "render/render.h"
#include "render/render_sign_store.h"

namespace {

using namespace multi_objects;

class BenchEnvironment final : public CMultiEnvironment {
public:
    uint32_t GetNv(uint32_t id, uint32_t) override {
        if (id == kSignType.id)
            return 6;
        if (id == kSignWidthPixels.id)
            return 240;
        if (id == kSignHeightPixels.id)
            return 72;
        if (id == kModuleId.id)
            return 116;
        if (id == kDefaultFlashOn.id || id == kDefaultFlashOff.id)
            return 5;
        if (id == kDefaultFont.id)
            return 1;
        if (id >= 72 && id < 72 + kFontSlots)
            return id - 71;
        if (id >= 212 && id < 212 + kFontSlots)
            return 2;
        return 0;
    }
    uint32_t GetVolatile(uint32_t, uint32_t) override { return 20; }
    bool FileExists(const char*) override { return true; }
    void SetGpo(unsigned, bool) override {}
};

MultiParseResult Callback(void*, CMessage* message) {
    switch (message->element_kind) {
        case kElementNewLine:
            ++message->current_line;
            break;
        case kElementTextRectangle:
            ++message->current_text_rectangle;
            break;
        case kElementMovingTextEnd:
            ++message->current_moving_text;
            break;
        default:
            break;
    }
    message->ClearElement();
    return kMultiOk;
}

std::string SixPages() {
    const std::string page =
        "[jp3][jl3][fo1][cf9]NEXT EXIT CLOSED[nl][jl2][fo2]USE[jl4]DETOUR[nl][jl3][f2] [f3]"
        "[nl][flt5o3]SLOW DOWN[/fl][nl][ms47,spk,1,3] KMH[nl][pt30o5][sc1]ROAD WORK AHEAD"
        "[/sc][nl][mvcl120,2,1,ACCIDENT AHEAD - EXPECT DELAYS][tr1,40,120,32][jl2]RIGHT LANE"
        "[nl]CLOSED[tr121,40,0,0][ms47,g,0,0,logo.bmp][jl4][hc41][hc42]";
    std::string text;
    for (int i = 0; i < 6; ++i) {
        if (i > 0)
            text += "[np]";
        text += page;
    }
    text.append(CMessage::kTextSize - text.size(), 'X');
    return text;
}

void BM_ValidateSixPages(benchmark::State& state) {
    BenchEnvironment env;
    CMultiEnvironment* previous = MultiSetEnvironment(&env);
    const std::string text = SixPages();
    CMULTIParser parser;
    CMessage message;
    message.SetWholeSignRectangles(240, 72);
    MultiParseResult result = kMultiOk;
    for (auto _ : state) {
        result = parser.Validate(nullptr, Callback, &message, text.data(),
                                 static_cast<uint32_t>(text.size()));
        benchmark::DoNotOptimize(result);
    }
    if (result != kMultiOk) {
        state.SkipWithError("the benchmark message does not validate");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    MultiSetEnvironment(previous);
}
BENCHMARK(BM_ValidateSixPages);

// Six pages of four centred lines, colour per word, topped up with colour tags.
std::string SixRenderablePages() {
    const std::string lines =
        "[jp3][jl3][fo1][cf9]ACCIDENT [cf1]AHEAD[nl][cf9]LEFT [cf3]LANE [cf9]CLOSED[nl]"
        "[fo2][cf9]USE [cf2]DETOUR[nl][fo1][flt5o3][cf1]SLOW DOWN[/fl]";
    std::string page = lines;
    while (page.size() + 10 <= (CMessage::kTextSize - 5 * 4) / 6) {
        page.insert(0, "[cf9][sc1]");
    }
    std::string text;
    for (int i = 0; i < 6; ++i) {
        if (i > 0)
            text += "[np]";
        text += page;
    }
    text.insert(0, CMessage::kTextSize - text.size(), ' ');
    return text;
}

void BM_ValidateSixPagesRendered(benchmark::State& state) {
    RenderSignGeometry geometry;
    geometry.width = 240;
    geometry.height = 72;
    CRenderSignStore sign(geometry);
    sign.ImportBuiltinFont("14X10_NARROW.FNT", 0);
    sign.ImportBuiltinFont("14X10_FHWA_TYPE_E.FNT", 1);
    const std::string text = SixRenderablePages();
    CMULTIParser parser;
    CRender render;
    render.AllocateSurface(72, 240, 15);
    CMessage message;
    message.SetWholeSignRectangles(240, 72);
    MultiParseResult result = kMultiOk;
    for (auto _ : state) {
        result = render.Validate(parser, &message, text.data(), static_cast<uint32_t>(text.size()));
        benchmark::DoNotOptimize(result);
    }
    if (result != kMultiOk) {
        state.SkipWithError("the benchmark message does not validate");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ValidateSixPagesRendered);

}  // namespace

BENCHMARK_MAIN();
