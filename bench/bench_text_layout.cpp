// Message layout with the real FreeType engine: a 2,000-character Japanese message with tags,
// laid out into a 640 x 480 text layer as the message command does (one page, all of it).
#include <benchmark/benchmark.h>

#include <string>

#include "backends/freetype/freetype_font_engine.hpp"
#include "base/sjis.hpp"
#include "graphics/surface.hpp"
#include "graphics/text_layout.hpp"

namespace {

std::string cp932(std::string_view utf8) {
    std::string out;
    zarvo::utf8ToSjis(utf8, out);
    return out;
}

// About 2,000 characters: Japanese prose with line breaks and the usual tags.
std::string message() {
    const std::string sentence =
        cp932("吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。");
    const std::string tags[] = {
        cp932("<B>"),      cp932("<N>"),   cp932("<clRed>"), cp932("<clBlack>"), cp932("<FAST>"),
        cp932("<NORMAL>"), cp932("<*10>"), cp932("<*8>"),    cp932("<KEY>"),     cp932("<W5>")};
    std::string text;
    size_t characters = 0;
    for (int i = 0; characters < 2000; ++i) {
        text += sentence;
        characters += 33;
        text += tags[i % 10];
        if (i % 3 == 2) {
            text += '#';
            ++characters;
        }
    }
    return text;
}

void BM_LayOutJapaneseMessage(benchmark::State& state) {
    zarvo::platform::FreeTypeFontEngine engine;
    zarvo::Surface layer;
    zarvo::TextLayout layout;
    layer.setSize(640, 480);
    layout.font.name = cp932("ＭＳ ゴシック");
    layout.font.size = 8;  // 10-pixel lines: the whole message fits the layer
    const std::string text = message();
    layout.text = text;
    layout.draw(layer, engine);
    if (!layout.text.empty()) state.SkipWithError("the message does not fit the layer");
    for (auto _ : state) {
        layout.text = text;
        benchmark::DoNotOptimize(layout.draw(layer, engine));
    }
    state.counters["chars/s"] = benchmark::Counter(2000.0 * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LayOutJapaneseMessage)->Unit(benchmark::kMillisecond);

// The same with cold caches: a new engine for every layout (the first message of a run).
void BM_LayOutJapaneseMessageColdEngine(benchmark::State& state) {
    zarvo::Surface layer;
    zarvo::TextLayout layout;
    layer.setSize(640, 480);
    layout.font.name = cp932("ＭＳ ゴシック");
    layout.font.size = 8;
    const std::string text = message();
    for (auto _ : state) {
        zarvo::platform::FreeTypeFontEngine engine;
        layout.text = text;
        benchmark::DoNotOptimize(layout.draw(layer, engine));
    }
    state.counters["chars/s"] = benchmark::Counter(2000.0 * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LayOutJapaneseMessageColdEngine)->Unit(benchmark::kMillisecond);

}  // namespace
