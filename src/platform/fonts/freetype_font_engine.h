#pragma once
// The font engine on FreeType, with faces found through fontconfig and our alias table. One
// FreeType library per engine and one FreeType face per font file, shared by every size and
// style opened from it; each Font holds its own size object on that face.
//
// Two font sets: the system set (the desktop player) lets a name outside the alias table use
// an installed family of exactly that name; the fixed set (headless runs and tests) uses only
// the families of the alias table, so that a screenshot of text is the same on every machine
// that has them.
//
// Fonts made by an engine must not outlive it. Main thread only.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/font_engine.h"

namespace kivo {

enum class FontSet { System, Fixed };

// Where a requested face name leads.
struct FontResolution {
    std::string family;  // the family that serves it (UTF-8)
    std::filesystem::path file;
    int32_t index = 0;  // the face's index inside the file
    bool monospace = false;
};

class FreeTypeFontEngine final : public FontEngine {
  public:
    explicit FreeTypeFontEngine(FontSet set);
    ~FreeTypeFontEngine() override;
    FreeTypeFontEngine(const FreeTypeFontEngine&) = delete;
    FreeTypeFontEngine& operator=(const FreeTypeFontEngine&) = delete;

    [[nodiscard]] std::unique_ptr<Font> Open(std::string_view face, int32_t size,
                                             uint8_t style) override;

    // The font a face name leads to, as Open would choose it; nullopt when the system has no
    // font at all. The answer is remembered for the engine's life.
    [[nodiscard]] std::optional<FontResolution> Resolve(std::string_view face);

    // The number of font files opened so far (each is opened once, whatever its sizes).
    [[nodiscard]] int32_t OpenFiles() const;

    // Starts reading fontconfig's configuration and font list on a thread of its own; the
    // first font opened waits for it. The desktop player calls this before it opens its
    // window, whose setup spends that time waiting on the display and the session bus.
    void LoadConfigurationInBackground();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kivo
