#include "platform/fonts/freetype_font_engine.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <future>
#include <map>
#include <unordered_map>

#include "platform/fonts/font_aliases.h"

namespace kivo {

namespace {

// Sizes outside this range are held to it: nothing is laid out in glyphs below one pixel, and
// a script's huge size must not make huge bitmaps.
constexpr int32_t kMinSize = 1;
constexpr int32_t kMaxSize = 512;

// The italic shear: x += 0.2 y, in 16.16.
constexpr FT_Fixed kItalicShear = 0x3333;

int32_t RoundPixels(FT_Pos value26_6) {
    return static_cast<int32_t>((value26_6 + 32) >> 6);
}

// A font-unit distance in whole pixels at the size's scale.
int32_t ScaledPixels(FT_Face face, FT_Long units) {
    return RoundPixels(FT_MulFix(units, face->size->metrics.y_scale));
}

struct FcMatch {
    std::vector<std::string> families;  // every name fontconfig gives the matched font
    std::filesystem::path file;
    int32_t index = 0;
};

// The best font fontconfig has for a family name; nullopt when it has none at all.
std::optional<FcMatch> MatchFamily(FcConfig* config, std::string_view family) {
    std::optional<FcMatch> found;
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return found;
    const std::string name(family);
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
            FcMatch m;
            m.file = reinterpret_cast<const char*>(file);
            int index = 0;
            if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) m.index = index;
            FcChar8* familyName = nullptr;
            for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &familyName) == FcResultMatch;
                 ++i) {
                m.families.emplace_back(reinterpret_cast<const char*>(familyName));
            }
            found = std::move(m);
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return found;
}

bool MatchHasFamily(const FcMatch& match, std::string_view family) {
    return std::any_of(match.families.begin(), match.families.end(),
                       [&](const std::string& name) { return SameFamilyName(name, family); });
}

// Copies a rendered bitmap into coverage values 0..levels-1.
void CopyCoverage(const FT_Bitmap& bitmap, int32_t levels, GlyphBitmap& glyph) {
    glyph.width = static_cast<int32_t>(bitmap.width);
    glyph.height = static_cast<int32_t>(bitmap.rows);
    glyph.coverage.assign(static_cast<size_t>(glyph.width) * static_cast<size_t>(glyph.height), 0);
    for (int32_t y = 0; y < glyph.height; ++y) {
        const uint8_t* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
        uint8_t* out = glyph.coverage.data() + static_cast<ptrdiff_t>(y) * glyph.width;
        for (int32_t x = 0; x < glyph.width; ++x) {
            if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
                const bool set = (row[x >> 3] >> (7 - (x & 7))) & 1;
                out[x] = set ? static_cast<uint8_t>(levels - 1) : 0;
            } else {
                // Grey coverage 0..255 brought to the asked number of levels, rounding.
                out[x] = static_cast<uint8_t>((row[x] * (levels - 1) + 127) / 255);
            }
        }
    }
}

class FreeTypeFont final : public Font {
  public:
    FreeTypeFont(FT_Face face, FT_Size size, std::string family, int32_t pixels, uint8_t style,
                 bool monospace)
        : face_(face), size_(size), family_(std::move(family)), style_(style) {
        metrics_.size = pixels;
        metrics_.ascent = (pixels * 1802 + 1024) / 2048;
        metrics_.descent = pixels - metrics_.ascent;
        metrics_.height = pixels;
        metrics_.monospace = monospace;
        FT_Activate_Size(size_);
        metrics_.underlinePosition = ScaledPixels(face_, face_->underline_position);
        metrics_.underlineThickness = std::max(1, ScaledPixels(face_, face_->underline_thickness));
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
        if (os2 != nullptr && os2->version != 0xFFFF) {
            metrics_.strikeoutPosition = ScaledPixels(face_, os2->yStrikeoutPosition);
            metrics_.strikeoutThickness = std::max(1, ScaledPixels(face_, os2->yStrikeoutSize));
            metrics_.averageWidth = ScaledPixels(face_, os2->xAvgCharWidth);
        } else {
            // No OS/2 table: the middle of the lower-case letters, as thick as the underline.
            metrics_.strikeoutPosition = metrics_.ascent * 3 / 10;
            metrics_.strikeoutThickness = metrics_.underlineThickness;
            metrics_.averageWidth = pixels / 2;
        }
        metrics_.maxWidth = monospace ? pixels : ScaledPixels(face_, face_->max_advance_width);
        if (style_ & kFontBold)
            boldStrength_ = FT_MulFix(face_->units_per_EM, face_->size->metrics.y_scale) / 24;
    }
    ~FreeTypeFont() override { FT_Done_Size(size_); }
    FreeTypeFont(const FreeTypeFont&) = delete;
    FreeTypeFont& operator=(const FreeTypeFont&) = delete;

    [[nodiscard]] const std::string& Family() const override { return family_; }
    [[nodiscard]] const FontMetrics& Metrics() const override { return metrics_; }

    [[nodiscard]] GlyphBitmap Render(char32_t code, GlyphDepth depth) override {
        GlyphBitmap glyph;
        glyph.levels = GlyphLevels(depth);
        const bool mono = depth == GlyphDepth::Mono;
        FT_GlyphSlot slot = LoadOutline(code, mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
        if (slot == nullptr) {
            glyph.advance = glyph.abcC = metrics_.size / 2;
            return glyph;
        }
        glyph.advance = AdvanceOf(slot);
        if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) == 0 &&
            slot->bitmap.width > 0 && slot->bitmap.rows > 0) {
            CopyCoverage(slot->bitmap, glyph.levels, glyph);
            glyph.originX = slot->bitmap_left;
            glyph.originY = slot->bitmap_top;
        }
        glyph.abcA = glyph.width > 0 ? glyph.originX : 0;
        glyph.abcB = glyph.width;
        glyph.abcC = glyph.advance - glyph.abcA - glyph.abcB;
        advances_[code] = glyph.advance;
        return glyph;
    }

    [[nodiscard]] int32_t Advance(char32_t code) override {
        if (const auto found = advances_.find(code); found != advances_.end()) return found->second;
        FT_GlyphSlot slot = LoadOutline(code, FT_LOAD_TARGET_NORMAL);
        const int32_t advance = slot ? AdvanceOf(slot) : metrics_.size / 2;
        advances_[code] = advance;
        return advance;
    }

  private:
    // Loads the character's outline at this size with the style applied; null when the face
    // cannot give one.
    FT_GlyphSlot LoadOutline(char32_t code, FT_Int32 target) {
        FT_Activate_Size(size_);
        const FT_UInt index = FT_Get_Char_Index(face_, code);
        if (FT_Load_Glyph(face_, index, FT_LOAD_NO_BITMAP | target) != 0) return nullptr;
        FT_GlyphSlot slot = face_->glyph;
        if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return nullptr;
        if (boldStrength_ > 0) FT_Outline_EmboldenXY(&slot->outline, boldStrength_, boldStrength_);
        if (style_ & kFontItalic) {
            FT_Matrix shear{0x10000, kItalicShear, 0, 0x10000};
            FT_Outline_Transform(&slot->outline, &shear);
        }
        return slot;
    }

    // Monospace faces keep the original's grid: a full-width character advances exactly the
    // size and a half-width one half of it, bold or not.
    int32_t AdvanceOf(FT_GlyphSlot slot) const {
        const int32_t natural = RoundPixels(slot->advance.x);
        if (metrics_.monospace) {
            return natural * 4 > metrics_.size * 3 ? metrics_.size : metrics_.size / 2;
        }
        return natural + RoundPixels(boldStrength_);
    }

    FT_Face face_;  // shared with every font of the same file; owned by the engine
    FT_Size size_;  // owned
    std::string family_;
    uint8_t style_;
    FT_Pos boldStrength_ = 0;  // 26.6 pixels the outline grows by when bold
    FontMetrics metrics_;
    std::unordered_map<char32_t, int32_t> advances_;
};

}  // namespace

struct FreeTypeFontEngine::Impl {
    explicit Impl(FontSet fontSet) : set(fontSet) {}
    ~Impl() {
        for (auto& [key, face] : faces)
            FT_Done_Face(face);
        if (library != nullptr) FT_Done_FreeType(library);
        if (loading.valid()) config = loading.get();
        if (config != nullptr) FcConfigDestroy(config);
    }

    // Fontconfig and FreeType are set up on first use: most runs never draw text, and the
    // configuration takes milliseconds to load. A background load is waited for here.
    FcConfig* Config() {
        if (loading.valid()) {
            config = loading.get();
            configFailed = config == nullptr;
        }
        if (config == nullptr && !configFailed) {
            config = FcInitLoadConfigAndFonts();
            configFailed = config == nullptr;
        }
        return config;
    }

    FT_Face FaceOf(const FontResolution& where) {
        const std::string key = where.file.string() + '#' + std::to_string(where.index);
        if (const auto found = faces.find(key); found != faces.end()) return found->second;
        if (library == nullptr && FT_Init_FreeType(&library) != 0) {
            library = nullptr;
            return nullptr;
        }
        FT_Face face = nullptr;
        if (FT_New_Face(library, where.file.c_str(), where.index, &face) != 0) return nullptr;
        faces.emplace(key, face);
        return face;
    }

    std::optional<FontResolution> ResolveUncached(std::string_view name) {
        FcConfig* fc = Config();
        if (fc == nullptr) return std::nullopt;
        const FontAlias* alias = FindFontAlias(name);
        if (alias == nullptr && set == FontSet::System) {
            // The system's own answer counts only when it really is the family asked for:
            // fontconfig answers every unknown name with some Latin font.
            const std::optional<FcMatch> match = MatchFamily(fc, name);
            if (match && MatchHasFamily(*match, name)) {
                return FontResolution{std::string(name), match->file, match->index, false};
            }
        }
        if (alias == nullptr) alias = &kGothicAlias;
        // A family of the table that is not installed still gets fontconfig's nearest font,
        // so that text shows.
        const std::optional<FcMatch> match = MatchFamily(fc, alias->family);
        if (!match) return std::nullopt;
        return FontResolution{std::string(alias->family), match->file, match->index,
                              alias->monospace};
    }

    FontSet set;
    FcConfig* config = nullptr;
    bool configFailed = false;
    // The configuration being read on another thread; nothing else is shared with it.
    std::future<FcConfig*> loading;
    FT_Library library = nullptr;
    std::map<std::string, FT_Face> faces;
    std::map<std::string, std::optional<FontResolution>, std::less<>> resolved;
};

FreeTypeFontEngine::FreeTypeFontEngine(FontSet set) : impl_(std::make_unique<Impl>(set)) {}

FreeTypeFontEngine::~FreeTypeFontEngine() = default;

std::optional<FontResolution> FreeTypeFontEngine::Resolve(std::string_view face) {
    if (const auto found = impl_->resolved.find(face); found != impl_->resolved.end())
        return found->second;
    std::optional<FontResolution> where = impl_->ResolveUncached(face);
    impl_->resolved.emplace(std::string(face), where);
    return where;
}

std::unique_ptr<Font> FreeTypeFontEngine::Open(std::string_view face, int32_t size, uint8_t style) {
    const std::optional<FontResolution> where = Resolve(face);
    if (!where) return nullptr;
    FT_Face ftFace = impl_->FaceOf(*where);
    if (ftFace == nullptr) return nullptr;
    const int32_t pixels = std::clamp(size, kMinSize, kMaxSize);
    FT_Size ftSize = nullptr;
    if (FT_New_Size(ftFace, &ftSize) != 0) return nullptr;
    FT_Activate_Size(ftSize);
    if (FT_Set_Pixel_Sizes(ftFace, 0, static_cast<FT_UInt>(pixels)) != 0) {
        FT_Done_Size(ftSize);
        return nullptr;
    }
    const bool monospace = where->monospace || FT_IS_FIXED_WIDTH(ftFace);
    return std::make_unique<FreeTypeFont>(ftFace, ftSize, where->family, pixels, style, monospace);
}

void FreeTypeFontEngine::LoadConfigurationInBackground() {
    if (impl_->config != nullptr || impl_->configFailed || impl_->loading.valid()) return;
    impl_->loading = std::async(std::launch::async, [] { return FcInitLoadConfigAndFonts(); });
}

int32_t FreeTypeFontEngine::OpenFiles() const {
    return static_cast<int32_t>(impl_->faces.size());
}

}  // namespace kivo
