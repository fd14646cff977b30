#pragma once
// One page of laid-out text: its rows, and the reveal that shows its glyphs one after another
// with a per-glyph wait and a fade-in. The owner calls Tick once a frame, Compose to draw the
// revealed glyphs, and HoverAt/HitTest for the pointer.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/byte_io.h"
#include "text/wd_glyph.h"

namespace kivo {

struct RevealTick {
    bool finishedNow = false;  // the page became complete in this tick
    std::string revealed;      // characters shown in this tick ("*" for an image)
};

class TWdPage : public TWdComposite {
  public:
    explicit TWdPage(TTpWord& word);

    [[nodiscard]] TWdPage* Page() override { return this; }
    [[nodiscard]] int32_t Width() const override;

    [[nodiscard]] size_t RowCount() const { return children_.size(); }
    [[nodiscard]] TWdRow* Row(size_t index) const;
    TWdRow& AddRow(std::unique_ptr<TWdRow> row);
    // Takes the last row out of the page and frees it.
    void DropLastRow();
    // Hands every row over to the caller, top to bottom, leaving the page empty (backlog
    // screens gather the rows of several pages into one).
    [[nodiscard]] std::vector<std::unique_ptr<TWdRow>> TakeRows();
    // Arranges every row; the page is as tall as its lowest row bottom.
    void Arrange();

    // Screen position of the page's top-left: the origin, scrolled when paging is off.
    [[nodiscard]] int32_t PageScreenX() const;
    [[nodiscard]] int32_t PageScreenY() const;
    [[nodiscard]] int32_t ScrollOffset() const { return scroll_; }
    void SetScrollOffset(int32_t offset) { scroll_ = offset; }

    // Sizes the text's surfaces to the box and draws every glyph into them.
    void RenderPage();
    // Draws the revealed glyphs of the rows that meet the destination's clip.
    void ComposePage();

    RevealTick Tick(int32_t elapsedMs);
    // Whether ticks still have something to show.
    [[nodiscard]] bool MoreToReveal() const;
    void ResetReveal();
    // Starts the wait before the next glyph and the fade afresh, keeping what is shown (a
    // pause that ends).
    void RestartTiming();
    [[nodiscard]] bool Finished() const { return finished_; }
    [[nodiscard]] size_t RowIndex() const { return rowIndex_; }
    [[nodiscard]] size_t GlyphIndex() const { return glyphIndex_; }

    // The fully shown glyph under a destination point, or null.
    [[nodiscard]] TWdGlyph* HitTest(int32_t x, int32_t y) const;
    // Highlights the link run under the point; true when the hovered run changed.
    bool HoverAt(int32_t x, int32_t y);
    [[nodiscard]] std::string HoveredText() const;
    // The link text of the hovered run; empty when nothing is hovered.
    [[nodiscard]] std::string HoveredLink() const;

    // Keeps the values the page's variable fields show, for the backlog.
    void StoreFrozenValues();
    [[nodiscard]] const std::string& FrozenValues() const { return frozen_; }

    // The reveal state for save data; LoadState expects the same layout of rows.
    void SaveState(ByteWriter& writer) const;
    void LoadState(ByteReader& reader);

  private:
    [[nodiscard]] std::vector<TWdGlyph*> Glyphs() const;
    [[nodiscard]] bool RowsRemain() const { return rowIndex_ < children_.size(); }
    [[nodiscard]] TWdGlyph* NextGlyph() const;
    void Advance();
    void RevealNext(RevealTick& result, bool& stop);
    void MoveCaret(const TWdGlyph& revealed);
    void Fade(int64_t elapsedMs);
    void FireEvents();
    [[nodiscard]] std::vector<TWdGlyph*> LinkRun(TWdGlyph* first) const;
    void RepaintRun(const std::vector<TWdGlyph*>& run);

    int32_t scroll_ = 0;
    TWdGlyph* hovered_ = nullptr;
    std::vector<TWdGlyph*> fading_;
    std::vector<TWdGlyph*> animated_;
    int64_t budget_ = 0;
    size_t rowIndex_ = 0;
    size_t glyphIndex_ = 0;
    int32_t startCountdown_ = 0;
    std::string pendingEvents_;
    int64_t fadeAccumulator_ = 0;
    bool finished_ = false;
    bool eventSeen_ = false;
    std::string frozen_;
};

}  // namespace kivo
