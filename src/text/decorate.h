#pragma once
// Shared decoration records of one text. Every character and variable-field glyph points to a
// record; glyphs with equal decoration share one, counted by reference, so a page of text in
// one style holds a single record.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kivo {

// Style bits, in the order of a font style set.
inline constexpr uint8_t kStyleBold = 1;
inline constexpr uint8_t kStyleItalic = 2;
inline constexpr uint8_t kStyleUnderline = 4;
inline constexpr uint8_t kStyleStrikeOut = 8;

// The decoration of a glyph. Colours are 0x00BBGGRR with -1 for the text's default; size 0
// and widths -1 take the text's defaults as well.
struct DecorateValues {
    int32_t color = -1;
    int32_t borderColor = -1;
    int32_t shadowColor = -1;
    int32_t size = 0;
    uint8_t style = 0;
    std::string face;
    uint8_t noBreak = 0;
    std::string ruby;
    int32_t borderWidth = 0;
    int32_t shadowWidth = 0;

    friend bool operator==(const DecorateValues&, const DecorateValues&) = default;
};

struct TDecorate {
    int32_t refCount = 0;
    DecorateValues values;
};

class TDecorateList {
  public:
    TDecorateList() = default;
    TDecorateList(const TDecorateList&) = delete;
    TDecorateList& operator=(const TDecorateList&) = delete;

    // The record holding exactly these values with its count raised, or a new one with count 1.
    [[nodiscard]] TDecorate* Acquire(const DecorateValues& values);
    // Drops one reference; a record nobody holds any more is freed.
    void Release(TDecorate* record);
    // The record a glyph holding `record` should hold once its values become `values`: an
    // existing equal record, the same record changed in place when the glyph is its only
    // holder, or a new one.
    [[nodiscard]] TDecorate* Change(TDecorate* record, const DecorateValues& values);

    [[nodiscard]] size_t Count() const { return records_.size(); }
    [[nodiscard]] const TDecorate& At(size_t index) const { return *records_[index]; }
    // Position of a record in the list (the index a glyph stream stores); -1 when absent.
    [[nodiscard]] int32_t IndexOf(const TDecorate* record) const;
    // Appends a record exactly as given, with no holder yet: stream loading counts the
    // holders itself and then drops the records nobody holds (see DropUnused).
    TDecorate* AppendUnshared(const DecorateValues& values);
    void DropUnused();
    void Clear() { records_.clear(); }

  private:
    [[nodiscard]] TDecorate* Find(const DecorateValues& values) const;

    std::vector<std::unique_ptr<TDecorate>> records_;
};

}  // namespace kivo
