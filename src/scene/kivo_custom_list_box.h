#pragma once
// The list box under every text menu: one row per line of its text, drawn as text strips in a
// normal and a hover style, inside an optional frame of nine picture cells, with a scroll bar
// of seven pieces when it has more items than rows and a check mark of two pieces per checked
// item. The pointer hovers and selects items, drags the thumb and holds the arrows and the
// track; the focused list box moves its hover with the arrow and page keys.
//
// Layout (the size the rows, margins, frame and pieces need) is worked out lazily before the
// next update or draw after anything that changes it, so that a script setting ten properties
// lays out once. Per frame only the visible rows are touched, however many items there are.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/control_picture.h"
#include "scene/kivo_control.h"
#include "text/tp_label_list.h"

namespace kivo {

// The first save version whose list box records hold the map-in and map-out handlers.
inline constexpr int32_t kSaveVersionMapHandlers = 134;

class TKivoCustomListBox : public TKivoControl {
  public:
    // What the pointer pressed and holds.
    enum class Press : int32_t {
        None = -1,
        Thumb = 0,
        UpArrow = 1,
        DownArrow = 2,
        PageUp = 3,
        PageDown = 4,
        Item = 5
    };
    static constexpr int32_t kCellCount = 9;
    static constexpr int32_t kScrollPieces = 7;
    static constexpr int32_t kCheckPieces = 2;
    // The repeat of a held arrow or track: the first step at once, the next after this delay,
    // then one every interval.
    static constexpr int32_t kRepeatDelayMs = 300;
    static constexpr int32_t kRepeatIntervalMs = 50;

    explicit TKivoCustomListBox(TKivoBaseList& root);

    [[nodiscard]] std::string_view ClassName() const override { return "TKivoCustomListBox"; }

    // ---- Items ----

    [[nodiscard]] const std::string& Text() const { return text_; }
    // The items are the lines of the text once characters below code 32 are stripped from
    // both ends of the whole text. Checks are cleared and the list scrolls to the top.
    void SetText(std::string text);
    // The items a text gives.
    [[nodiscard]] static std::vector<std::string> ItemsOf(std::string_view text);
    [[nodiscard]] int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    // The item text, empty for an index that is no item.
    [[nodiscard]] std::string ItemText(int32_t index) const;
    [[nodiscard]] int32_t SelectedIndex() const { return selectedIndex_; }
    [[nodiscard]] int32_t Hovered() const { return hovered_; }
    // Indexes that are no item read false and are ignored on write.
    [[nodiscard]] bool Checked(int32_t index) const;
    void SetChecked(int32_t index, bool checked);

    // ---- Layout properties ----

    [[nodiscard]] int32_t LineSpace() const { return lineSpace_; }
    void SetLineSpace(int32_t value) { SetLayoutField(lineSpace_, value); }
    [[nodiscard]] int32_t Alpha() const { return alpha_; }
    void SetAlpha(int32_t value);
    [[nodiscard]] int32_t MarginX() const { return marginX_; }
    void SetMarginX(int32_t value) { SetLayoutField(marginX_, value); }
    [[nodiscard]] int32_t MarginY() const { return marginY_; }
    void SetMarginY(int32_t value) { SetLayoutField(marginY_, value); }
    [[nodiscard]] int32_t BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int32_t value) { SetLayoutField(borderWidth_, value); }
    [[nodiscard]] int32_t BorderColor() const { return borderColor_; }
    void SetBorderColor(int32_t value) { SetLayoutField(borderColor_, value); }
    [[nodiscard]] int32_t RowCount() const { return rowCount_; }
    void SetRowCount(int32_t value) { SetLayoutField(rowCount_, value); }
    [[nodiscard]] int32_t TopIndex() const { return topIndex_; }
    // Held to [0, count - rows]; 0 when every item fits.
    void SetTopIndex(int32_t value);
    [[nodiscard]] int32_t ItemAlign() const { return itemAlign_; }
    void SetItemAlign(int32_t value);

    // The label styles: font name and height go to both lists, the rest to one.
    [[nodiscard]] TTpLabelList& Labels(bool hover) { return hover ? hoverLabels_ : labels_; }
    [[nodiscard]] const LabelStyle& Style(bool hover) const {
        return hover ? hoverLabels_.Style() : labels_.Style();
    }
    void SetStyle(bool hover, const LabelStyle& style);

    // Frame cell n (0..8, reading order), the scroll strip and the check strip by source name.
    [[nodiscard]] const std::string& CellSource(int32_t cell) const;
    void SetCellSource(int32_t cell, std::string source);
    [[nodiscard]] int32_t CellAlign(int32_t cell, bool vertical) const;
    void SetCellAlign(int32_t cell, bool vertical, int32_t align);
    [[nodiscard]] const std::string& ScrollSource() const { return scroll_.source; }
    void SetScrollSource(std::string source);
    [[nodiscard]] const std::string& CheckSource() const { return check_.source; }
    void SetCheckSource(std::string source);

    // ---- Handlers and pausing ----

    [[nodiscard]] bool Paused() const override { return paused_; }
    void SetPaused(bool paused);
    [[nodiscard]] std::string IdleHandler() const override { return idleHandler_; }
    void SetIdleHandler(std::string handler) { idleHandler_ = std::move(handler); }
    [[nodiscard]] const std::string& SelectHandler() const { return selectHandler_; }
    void SetSelectHandler(std::string handler) { selectHandler_ = std::move(handler); }
    [[nodiscard]] const std::string& MapInHandler() const { return mapInHandler_; }
    void SetMapInHandler(std::string handler) { mapInHandler_ = std::move(handler); }
    [[nodiscard]] const std::string& MapOutHandler() const { return mapOutHandler_; }
    void SetMapOutHandler(std::string handler) { mapOutHandler_ = std::move(handler); }

    // ---- Geometry, worked out from the current layout (layer pixels) ----

    struct Frame {
        int32_t left = 0, right = 0, top = 0, bottom = 0;  // frame column widths, row heights
    };
    struct ScrollBar {
        TRect upArrow, downArrow, thumb, upperTrack, lowerTrack;
    };
    [[nodiscard]] Frame FrameExtents() const;
    // The row height: the taller of the two styles with their borders and shadows.
    [[nodiscard]] int32_t RowHeight() const;
    [[nodiscard]] bool ScrollBarShown() const;
    [[nodiscard]] ScrollBar ScrollBarRects() const;
    // The item under a point, -1 for none.
    [[nodiscard]] int32_t ItemAt(int32_t x, int32_t y) const;
    // Lays out now when anything changed since the last layout.
    void LayOutIfNeeded();

    // ---- Frame work and input ----

    [[nodiscard]] bool Update() override;
    void Draw(TDrawContext& context) override;
    void FireLeftDown(int32_t x, int32_t y) override;
    void FireLeftUp(int32_t x, int32_t y) override;
    void FireMouseMove(int32_t x, int32_t y) override;
    void FireMouseOut() override;
    void FireKeyRepeat() override;
    void Drag(int32_t x, int32_t y) override;

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  protected:
    // The hover bar's colour; -1 draws none (a plain list box has none).
    [[nodiscard]] virtual int32_t HoverBarColor() const { return -1; }
    // While a menu opens or closes its scroll bar is hidden.
    [[nodiscard]] virtual bool Animating() const { return false; }
    // The phase of a menu's opening and closing, kept in the list box record.
    [[nodiscard]] virtual int32_t Phase() const { return 0; }
    virtual void SetPhase(int32_t /*phase*/) {}
    // Selects the hovered item: the selection result, PR_INDEX and the select event.
    virtual void Select();
    void SetHovered(int32_t item);
    void MarkLayoutNeeded();
    // Sets the size the rows, frame and pieces need.
    void LayOut();

  private:
    struct HeldPicture {
        std::string source;
        std::unique_ptr<ControlPicture> picture;
        int32_t width = 0;  // of the first frame; 0 when missing
        int32_t height = 0;
        int32_t frame = 0;
        int32_t time = 0;  // left of the current frame, ms
        // Holds name's picture from the cache on behalf of user (the list box itself).
        void Set(TKivoBaseList& root, ObjectHandle user, std::string name);
        [[nodiscard]] PictureFrame Current() const;
        // Advances the frames by delta ms; true when the frame shown changed.
        bool Animate(int32_t delta);
    };
    struct Cell : HeldPicture {
        uint8_t halign = 0;
        uint8_t valign = 0;
    };

    template <typename T>
    void SetLayoutField(T& field, const T& value) {
        if (field == value) return;
        field = value;
        MarkLayoutNeeded();
    }
    void BuildItems();
    [[nodiscard]] TRect Inner() const;
    [[nodiscard]] int32_t ScrollRange() const;
    [[nodiscard]] int32_t TrackLength() const;
    [[nodiscard]] TRect CellRect(int32_t cell, const Frame& frame) const;
    [[nodiscard]] bool OnHeldPart(int32_t x, int32_t y) const;
    // One step of a held arrow or track.
    void StepHeldPart();
    void DrawFrame(TDrawContext& context);
    void DrawCells(TDrawContext& context, const Frame& frame);
    void DrawScrollBar(TDrawContext& context);
    void DrawRows(TDrawContext& context, const Frame& frame);
    // Keeps the hovered item among the visible rows.
    void ScrollToHovered();

    std::string text_;
    std::vector<std::string> items_;
    std::vector<uint8_t> checks_;
    TTpLabelList labels_;
    TTpLabelList hoverLabels_;
    int32_t lineSpace_ = 0;
    int32_t alpha_ = 255;
    int32_t marginX_ = 0;
    int32_t marginY_ = 0;
    int32_t borderWidth_ = 0;
    int32_t borderColor_ = -1;
    int32_t rowCount_ = 1;
    int32_t topIndex_ = 0;
    uint8_t itemAlign_ = 0;
    int32_t selectedIndex_ = -1;
    std::array<Cell, kCellCount> cells_;
    HeldPicture scroll_;
    HeldPicture check_;

    int32_t hovered_ = -1;
    Press press_ = Press::None;
    int32_t dragOffset_ = 0;
    int32_t repeatTimer_ = 0;
    int32_t lastClock_ = 0;
    bool onPart_ = false;

    bool paused_ = false;
    std::string idleHandler_;
    std::string selectHandler_;
    std::string mapInHandler_;
    std::string mapOutHandler_;
    bool layoutNeeded_ = true;
};

}  // namespace kivo
