// Layout of a 2,000-glyph text into pages, beside a reference in the same run: a bare greedy
// line filler over the same cell widths (what breaking lines costs without the no-break rules,
// words, rows and pages). The time of one layout is also reported against its 0.5 ms target.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/sjis.h"
#include "ratio_reporter.h"
#include "text/tp_word.h"

namespace kivo {
namespace {

constexpr int32_t kGlyphs = 2000;
constexpr int32_t kCell = 24;
constexpr int32_t kWidth = 24 * 26;
constexpr int32_t kHeight = 24 * 4 + 8 * 3;

// Story text with punctuation, brackets, Latin words, ruby, breaks and a colour change.
std::string SampleMarkup() {
    const std::string sentence = *sjis::FromUtf8(
        "「ここは、どこだろう？」と彼は<RUBY VALUE=つぶや>呟</RUBY>いた。"
        "窓の外では <FONT COLOR=#FF8000>orange lights</FONT> が揺れている。<BR>");
    std::string text;
    for (size_t glyphs = 0; glyphs < static_cast<size_t>(kGlyphs);) {
        text += sentence;
        TTpWord probe;
        std::vector<std::string> lines{text};
        probe.Parse(lines, 50);
        glyphs = probe.GlyphCount();
    }
    return text;
}

struct Sample {
    Sample() {
        word.settings.defaultSize = kCell;
        word.settings.layoutWidth = kWidth;
        word.settings.pageHeight = kHeight;
        word.settings.lineSpacing = 8;
        std::vector<std::string> lines{SampleMarkup()};
        word.Parse(lines, 50);
    }
    TTpWord word;
};

void BM_Layout2000Glyphs(benchmark::State& state) {
    Sample sample;
    std::vector<std::unique_ptr<TWdPage>> pages;
    for (auto _ : state) {
        pages.clear();
        sample.word.Layout(pages, 0, -1);
        benchmark::DoNotOptimize(pages.data());
    }
    state.counters["glyphs"] = static_cast<double>(sample.word.GlyphCount());
    state.counters["pages"] = static_cast<double>(pages.size());
}

void BM_GreedyLineFillReference(benchmark::State& state) {
    Sample sample;
    std::vector<int32_t> widths;
    for (size_t i = 0; i < sample.word.GlyphCount(); ++i) {
        sample.word.Glyph(i)->Measure();
        widths.push_back(sample.word.Glyph(i)->Width());
    }
    std::vector<int32_t> rowStarts;
    for (auto _ : state) {
        rowStarts.clear();
        int32_t x = 0;
        for (size_t i = 0; i < widths.size(); ++i) {
            if (x + widths[i] > kWidth) {
                rowStarts.push_back(static_cast<int32_t>(i));
                x = 0;
            }
            x += widths[i];
        }
        benchmark::DoNotOptimize(rowStarts.data());
    }
}

void BM_Parse2000Glyphs(benchmark::State& state) {
    std::vector<std::string> lines{SampleMarkup()};
    TTpWord word;
    for (auto _ : state) {
        word.Parse(lines, 50);
        benchmark::DoNotOptimize(word.GlyphCount());
    }
}

BENCHMARK(BM_Layout2000Glyphs);
BENCHMARK(BM_GreedyLineFillReference);
BENCHMARK(BM_Parse2000Glyphs);

}  // namespace
}  // namespace kivo

int main(int argc, char** argv) {
    kivo::bench::RatioReporter reporter(
        {{"layout of 2,000 glyphs / greedy line fill", "BM_Layout2000Glyphs",
          "BM_GreedyLineFillReference", "report"}},
        [](const kivo::bench::RatioReporter& r) {
            std::printf("layout of 2,000 glyphs: %.3f ms (target under 0.5 ms)\n",
                        r.Time("BM_Layout2000Glyphs") / 1e6);
        });
    return kivo::bench::RunWithRatios(argc, argv, reporter);
}
