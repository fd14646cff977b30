// The glyph cache and text drawing on the installed fonts, each beside a reference in the
// same run:
//   cache misses (500 distinct kanji at 24 px)  against FreeType's own load and render of the
//                                               same characters (bench-only helper library),
//                                               and the font engine's raw render
//   a warm 500-glyph page, plain and with border 2 and shadow 2
//                                               against pixman's glyph compositing (a8 mask)
//   composing 500 revealed glyphs               against pixman OVER through the a8 text mask
//                                               over the same rectangles
// and the cache's hit rate over 50 pages of story text in a message window.

#include <pixman.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/sjis.h"
#include "imaging/draw_context.h"
#include "platform/fonts/freetype_font_engine.h"
#include "platform/fonts_reference/freetype_reference.h"
#include "ratio_reporter.h"
#include "text/font_pixel_manager.h"
#include "text/tp_word.h"

namespace kivo {
namespace {

constexpr int32_t kSize = 24;
constexpr int32_t kMissGlyphs = 500;
constexpr int32_t kPageGlyphs = 500;

std::string Cp932(const char* utf8) {
    return sjis::FromUtf8(utf8).value();
}

// The first count kanji of the code page, in code order.
std::vector<uint32_t> DistinctKanji(int32_t count) {
    std::vector<uint32_t> codes;
    for (uint32_t code = 0x889F; static_cast<int32_t>(codes.size()) < count; ++code) {
        if (sjis::CodeToUnicode(code) != 0) codes.push_back(code);
    }
    return codes;
}

// ---- Sample story text ----

// Sentences put together from a fixed vocabulary by a fixed pseudo-random sequence: kana with
// a few hundred kanji, punctuation, dialogue brackets and now and then ruby, about as varied
// as the narration of a visual novel over a few dozen pages.
class StoryText {
  public:
    std::string Next() {
        std::string s;
        const bool spoken = Pick(4) == 0;
        if (spoken) s += "「";
        const int clauses = 1 + Pick(3);
        for (int c = 0; c < clauses; ++c) {
            if (c > 0) s += "、";
            s += Word(kTimes, 3);
            s += Word(kNouns);
            s += kParticles[Pick(std::size(kParticles))];
            if (Pick(2) == 0) s += Word(kAdjectives);
            s += Word(kNouns);
            s += kParticles[Pick(std::size(kParticles))];
            s += kVerbs[Pick(std::size(kVerbs))];
        }
        s += Pick(5) == 0 ? "……" : "。";
        if (spoken) s += "」";
        if (Pick(9) == 0) s += "<BR>";
        return Cp932(s.c_str());
    }

  private:
    static constexpr const char* kNouns[] = {
        "彼",     "彼女", "少女", "先生",   "友達", "教室", "廊下",   "屋上",   "図書館", "駅",
        "電車",   "窓",   "空",   "雲",     "雨",   "風",   "桜",     "海",     "山",     "川",
        "町",     "夜",   "朝",   "夕暮れ", "時計", "手紙", "写真",   "記憶",   "約束",   "秘密",
        "言葉",   "名前", "声",   "足音",   "光",   "影",   "夢",     "心",     "胸",     "瞳",
        "指先",   "背中", "扉",   "鍵",     "階段", "坂道", "公園",   "神社",   "祭り",   "花火",
        "季節",   "未来", "過去", "世界",   "物語", "答え", "理由",   "気持ち", "笑顔",   "涙",
        "部屋",   "机",   "鞄",   "傘",     "紅茶", "猫",   "鳥",     "星",     "月",     "太陽",
        "地図",   "列車", "港",   "灯台",   "森",   "湖",   "橋",     "道",     "家族",   "姉",
        "兄",     "妹",   "弟",   "母",     "父",   "祖母", "村",     "城",     "王様",   "魔法",
        "剣",     "旅人", "商人", "騎士",   "歌",   "音楽", "放課後", "部活",   "試験",   "宿題",
        "夏休み", "冬",   "雪",   "氷",     "炎",   "病院", "医者",   "事件",   "探偵",   "犯人",
        "証拠",   "真実",
    };
    static constexpr const char* kAdjectives[] = {
        "静かな", "古い",   "新しい", "小さな", "大きな", "優しい", "冷たい",   "暖かい",
        "遠い",   "近い",   "赤い",   "青い",   "白い",   "黒い",   "不思議な", "懐かしい",
        "寂しい", "明るい", "暗い",   "美しい", "強い",   "弱い",   "長い",     "短い",
    };
    static constexpr const char* kParticles[] = {"は", "が", "を",   "に",   "で", "と",
                                                 "の", "へ", "から", "まで", "も"};
    static constexpr const char* kVerbs[] = {
        "見た",       "聞いた",     "言った",     "笑った",     "泣いた",     "走った",
        "歩いた",     "待っていた", "思い出した", "気づいた",   "知っていた", "探した",
        "見つけた",   "開けた",     "閉めた",     "書いた",     "読んだ",     "呼んだ",
        "答えた",     "考えた",     "感じた",     "信じていた", "忘れた",     "消えた",
        "現れた",     "揺れていた", "輝いていた", "降っていた", "始まった",   "終わった",
        "振り返った", "頷いた",     "黙っていた", "囁いた",     "叫んだ",     "眠っていた",
    };
    static constexpr const char* kTimes[] = {"今日", "昨日",   "明日",     "その時", "いつも",
                                             "突然", "やがて", "もう一度", "静かに"};

    std::string Word(const auto& list, int rarity = 1) {
        if (rarity > 1 && Pick(rarity) != 0) return {};
        const std::string word = list[Pick(std::size(list))];
        // Now and then a kanji word carries its reading as ruby.
        if (Pick(40) == 0 && (static_cast<uint8_t>(word[0]) & 0xF0) == 0xE0) {
            return "<RUBY VALUE=よみ>" + word + "</RUBY>";
        }
        return word;
    }

    int Pick(size_t range) {
        state_ = state_ * 1103515245u + 12345u;
        return static_cast<int>((state_ >> 16) % range);
    }

    uint32_t state_ = 2024;
};

std::string StoryMarkup(size_t sentences) {
    StoryText story;
    std::string text;
    for (size_t i = 0; i < sentences; ++i)
        text += story.Next();
    return text;
}

// ---- pixman helpers ----

struct PixmanUnref {
    void operator()(pixman_image_t* image) const { pixman_image_unref(image); }
};
using PixmanImage = std::unique_ptr<pixman_image_t, PixmanUnref>;

PixmanImage Wrap(TDIBX& s, pixman_format_code_t format) {
    return PixmanImage(pixman_image_create_bits(format, s.Width(), s.Height(),
                                                reinterpret_cast<uint32_t*>(s.PixelAddress(0, 0)),
                                                s.Pitch()));
}

PixmanImage SolidColour(uint32_t pixel) {
    const pixman_color_t colour{static_cast<uint16_t>((pixel >> 16 & 0xFF) * 257),
                                static_cast<uint16_t>((pixel >> 8 & 0xFF) * 257),
                                static_cast<uint16_t>((pixel & 0xFF) * 257), 0xFFFF};
    return PixmanImage(pixman_image_create_solid_fill(&colour));
}

// ---- Cache misses ----

const std::string kFace(kGothicFace);

void Ours_GlyphMiss(benchmark::State& state) {
    FreeTypeFontEngine engine(FontSet::Fixed);
    TFontPixelManager cache(engine);
    const std::vector<uint32_t> codes = DistinctKanji(kMissGlyphs);
    for (uint32_t code : codes)
        (void)cache.Fetch(code, kFace, 0, kSize);
    const uint64_t hits = cache.Hits();
    for (auto _ : state) {
        // 500 characters in turn through 256 places: every fetch misses.
        for (uint32_t code : codes)
            benchmark::DoNotOptimize(&cache.Fetch(code, kFace, 0, kSize));
    }
    state.counters["hits"] = static_cast<double>(cache.Hits() - hits);
    state.SetItemsProcessed(state.iterations() * kMissGlyphs);
}
BENCHMARK(Ours_GlyphMiss);

void Ref_GlyphMiss_FreeType(benchmark::State& state) {
    FreeTypeFontEngine engine(FontSet::Fixed);
    const std::optional<FontResolution> where = engine.Resolve(sjis::ToUtf8(kFace));
    if (!where) {
        state.SkipWithError("no font");
        return;
    }
    FreeTypeReference reference(where->file, where->index, kSize);
    std::vector<char32_t> characters;
    for (uint32_t code : DistinctKanji(kMissGlyphs))
        characters.push_back(TFontPixelManager::FontCharOf(code));
    for (auto _ : state) {
        for (char32_t c : characters)
            benchmark::DoNotOptimize(reference.LoadAndRender(c));
    }
    state.SetItemsProcessed(state.iterations() * kMissGlyphs);
}
BENCHMARK(Ref_GlyphMiss_FreeType);

void Ref_GlyphMiss_EngineRender(benchmark::State& state) {
    FreeTypeFontEngine engine(FontSet::Fixed);
    const std::unique_ptr<Font> font = engine.Open(sjis::ToUtf8(kFace), kSize, 0);
    std::vector<char32_t> characters;
    for (uint32_t code : DistinctKanji(kMissGlyphs))
        characters.push_back(TFontPixelManager::FontCharOf(code));
    for (auto _ : state) {
        for (char32_t c : characters)
            benchmark::DoNotOptimize(font->Render(c, GlyphDepth::Gray65));
    }
    state.SetItemsProcessed(state.iterations() * kMissGlyphs);
}
BENCHMARK(Ref_GlyphMiss_EngineRender);

// ---- A page of 500 glyphs ----

// Remembers where each cell's glyph went, for the references.
class RecordingPainter final : public GlyphPainter {
  public:
    explicit RecordingPainter(TFontPixelManager& cache) : cache_(cache) {}
    TRect DrawCell(const CellRequest& request, TCustomDIBX& colour, TCustomDIBX& mask) override {
        const TRect touched = cache_.DrawCell(request, colour, mask);
        if (!touched.IsEmpty()) cells.push_back({request.code, touched});
        return touched;
    }
    struct Cell {
        uint32_t code;
        TRect touched;
    };
    std::vector<Cell> cells;

  private:
    TFontPixelManager& cache_;
};

struct PageSample {
    explicit PageSample(int32_t edges)
        : engine(FontSet::Fixed), cache(engine), destination(640, 960, 32) {
        word.settings.defaultSize = kSize;
        word.settings.layoutWidth = 600;
        word.settings.pageHeight = 4000;
        word.settings.defaultBorderWidth = edges;
        word.settings.defaultShadowWidth = edges;
        word.settings.defaultColor = 0xF0F0F0;
        word.settings.waitScale = 0;
        word.settings.originX = 20;
        word.settings.originY = 10;
        // Story text cut to 500 characters, without tags.
        std::string text;
        StoryText story;
        while (sjis::CharCount(text) < kPageGlyphs) {
            std::string sentence = story.Next();
            for (size_t tag; (tag = sentence.find('<')) != std::string::npos;)
                sentence.erase(tag, sentence.find('>', tag) - tag + 1);
            text += sentence;
        }
        size_t end = 0;
        for (int32_t i = 0; i < kPageGlyphs; ++i)
            end += sjis::CharLength(text, end);
        text.resize(end);
        std::vector<std::string> lines{text};
        word.Parse(lines, 0);
        word.Layout(pages, 0, -1);
        RecordingPainter recorder(cache);
        word.SetPainter(&recorder);
        page().RenderPage();
        cells = std::move(recorder.cells);
        word.SetPainter(&cache);
        word.SetDestination(&destination, destination.ClientRect());
        TDrawContext(destination).Fill(0x00302010);
        page().ResetReveal();
        for (int frame = 0; frame < 3; ++frame)
            (void)page().Tick(16);
    }
    TWdPage& page() { return *pages.front(); }
    [[nodiscard]] size_t Distinct() const {
        std::set<uint32_t> codes;
        for (const auto& cell : cells)
            codes.insert(cell.code);
        return codes.size();
    }

    FreeTypeFontEngine engine;
    TFontPixelManager cache;
    TTpWord word;
    std::vector<std::unique_ptr<TWdPage>> pages;
    std::vector<RecordingPainter::Cell> cells;
    TDIBX destination;
};

void PageRender(benchmark::State& state, int32_t edges) {
    PageSample sample(edges);
    const uint64_t misses = sample.cache.Misses();
    for (auto _ : state) {
        sample.page().RenderPage();
        benchmark::ClobberMemory();
    }
    state.counters["glyphs"] = static_cast<double>(sample.cells.size());
    state.counters["distinct"] = static_cast<double>(sample.Distinct());
    state.counters["misses"] = static_cast<double>(sample.cache.Misses() - misses);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(sample.cells.size()));
}

void Ours_PageRender(benchmark::State& state) {
    PageRender(state, 0);
}
BENCHMARK(Ours_PageRender);

void Ours_PageRender_Border2Shadow2(benchmark::State& state) {
    PageRender(state, 2);
}
BENCHMARK(Ours_PageRender_Border2Shadow2);

// pixman's glyph cache holding the same bitmaps, composited at the same places onto a
// surface of the same size after clearing it, as rendering a page clears its surfaces.
void Ref_PageRender_pixman(benchmark::State& state) {
    static int fontKeyTag = 0;
    void* const kFontKey = &fontKeyTag;
    PageSample sample(0);
    TDIBX target(sample.word.TextSurface().Width(), sample.word.TextSurface().Height(), 32);
    const PixmanImage dest = Wrap(target, PIXMAN_x8r8g8b8);
    const PixmanImage source = SolidColour(target.ColorToPixel(0xF0F0F0));
    pixman_glyph_cache_t* glyphCache = pixman_glyph_cache_create();
    std::map<uint32_t, std::vector<uint32_t>> bits;
    std::vector<pixman_glyph_t> glyphs;
    pixman_glyph_cache_freeze(glyphCache);
    for (const auto& cell : sample.cells) {
        const TFontPixel& g = sample.cache.Fetch(cell.code, kFace, 0, kSize);
        auto* key = reinterpret_cast<void*>(static_cast<uintptr_t>(cell.code));
        const void* glyph = pixman_glyph_cache_lookup(glyphCache, kFontKey, key);
        if (glyph == nullptr) {
            const int32_t stride = (g.width + 3) & ~3;
            std::vector<uint32_t>& store = bits[cell.code];
            store.assign(static_cast<size_t>(stride * g.height + 3) / 4, 0);
            auto* bytes = reinterpret_cast<uint8_t*>(store.data());
            for (int32_t y = 0; y < g.height; ++y) {
                for (int32_t x = 0; x < g.width; ++x)
                    bytes[y * stride + x] = g.At(x, y);
            }
            const PixmanImage image(
                pixman_image_create_bits(PIXMAN_a8, g.width, g.height, store.data(), stride));
            glyph = pixman_glyph_cache_insert(glyphCache, kFontKey, key, 0, 0, image.get());
        }
        glyphs.push_back({cell.touched.Left, cell.touched.Top, glyph});
    }
    pixman_glyph_cache_thaw(glyphCache);
    for (auto _ : state) {
        pixman_fill(reinterpret_cast<uint32_t*>(target.PixelAddress(0, 0)), target.Pitch() / 4, 32,
                    0, 0, target.Width(), target.Height(), 0);
        pixman_composite_glyphs(PIXMAN_OP_OVER, source.get(), dest.get(), PIXMAN_a8, 0, 0, 0, 0, 0,
                                0, target.Width(), target.Height(), glyphCache,
                                static_cast<int>(glyphs.size()), glyphs.data());
        benchmark::ClobberMemory();
    }
    pixman_glyph_cache_destroy(glyphCache);
    state.counters["glyphs"] = static_cast<double>(glyphs.size());
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(glyphs.size()));
}
BENCHMARK(Ref_PageRender_pixman);

// ---- Composing the revealed page ----

void Ours_Compose(benchmark::State& state) {
    PageSample sample(0);
    for (auto _ : state) {
        sample.page().ComposePage();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(sample.cells.size()));
}
BENCHMARK(Ours_Compose);

void Ref_Compose_pixman(benchmark::State& state) {
    PageSample sample(0);
    const PixmanImage dest = Wrap(sample.destination, PIXMAN_x8r8g8b8);
    const PixmanImage mask = Wrap(sample.word.MaskSurface(), PIXMAN_a8);
    const PixmanImage source = SolidColour(sample.destination.ColorToPixel(0xF0F0F0));
    const int32_t dx = sample.word.settings.originX, dy = sample.word.settings.originY;
    for (auto _ : state) {
        for (const auto& cell : sample.cells) {
            const TRect& r = cell.touched;
            pixman_image_composite32(PIXMAN_OP_OVER, source.get(), mask.get(), dest.get(), 0, 0,
                                     r.Left, r.Top, dx + r.Left, dy + r.Top, r.Width(), r.Height());
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(sample.cells.size()));
}
BENCHMARK(Ref_Compose_pixman);

// ---- Hit rate ----

struct HitRate {
    uint64_t hits = 0;
    uint64_t misses = 0;
    size_t pages = 0;
    size_t glyphs = 0;
};

// 50 pages of a message window 26 cells wide and 4 rows high, each rendered once as it is
// shown, through one cache.
HitRate MeasureHitRate() {
    FreeTypeFontEngine engine(FontSet::Fixed);
    TFontPixelManager cache(engine);
    TTpWord word;
    word.SetPainter(&cache);
    word.settings.defaultSize = kSize;
    word.settings.layoutWidth = 26 * kSize;
    word.settings.pageHeight = 4 * kSize + 3 * 6;
    word.settings.lineSpacing = 6;
    std::vector<std::string> lines{StoryMarkup(400)};
    word.Parse(lines, 30);
    std::vector<std::unique_ptr<TWdPage>> pages;
    word.Layout(pages, 0, -1);
    HitRate rate;
    for (size_t p = 0; p < pages.size() && p < 50; ++p) {
        pages[p]->RenderPage();
        ++rate.pages;
        for (size_t r = 0; r < pages[p]->RowCount(); ++r)
            rate.glyphs += pages[p]->Row(r)->ChildCount();
    }
    rate.hits = cache.Hits();
    rate.misses = cache.Misses();
    return rate;
}

}  // namespace
}  // namespace kivo

int main(int argc, char** argv) {
    using kivo::bench::RatioReporter;
    RatioReporter reporter(
        {
            {"cache miss / FreeType load and render", "Ours_GlyphMiss", "Ref_GlyphMiss_FreeType",
             "at most 1.3"},
            {"cache miss / font engine render", "Ours_GlyphMiss", "Ref_GlyphMiss_EngineRender",
             "report"},
            {"warm page / pixman glyphs", "Ours_PageRender", "Ref_PageRender_pixman",
             "at most 1.5"},
            {"warm page, border 2 shadow 2 / pixman glyphs", "Ours_PageRender_Border2Shadow2",
             "Ref_PageRender_pixman", "report"},
            {"compose 500 glyphs / pixman OVER a8", "Ours_Compose", "Ref_Compose_pixman",
             "at most 1.2"},
        },
        [](const RatioReporter&) {
            const kivo::HitRate rate = kivo::MeasureHitRate();
            std::printf(
                "glyph cache hit rate over %zu pages (%zu glyphs) of story text: %.1f %% "
                "(%llu hits, %llu misses; expect above 90 %%)\n",
                rate.pages, rate.glyphs,
                100.0 * static_cast<double>(rate.hits) /
                    static_cast<double>(std::max<uint64_t>(1, rate.hits + rate.misses)),
                static_cast<unsigned long long>(rate.hits),
                static_cast<unsigned long long>(rate.misses));
        });
    return kivo::bench::RunWithRatios(argc, argv, reporter);
}
