#pragma once
// Text fields: the single-line edit (TKivoEdit) and the multi-line memo (TKivoMemo). A field
// floats over the scene at its object's rectangle: it is shown only while the object and its
// parent are visible and its layer is the shown one, and it is drawn by the player over the
// finished frame (DrawTextFields), above every object, as a window's own control would be.
//
// The field holds its text in code page 932 and edits it by whole characters (CR LF counts as
// one). Typing and pasting stop at 32,767 bytes, on a character boundary. Every key pressed
// while the field has the focus, repeats included, queues its notify handler with the key code
// and the text as it was before the key. The edit swallows Enter and Escape; in a memo Enter
// breaks the line, and Escape and Tab insert nothing. An input method's composition shows at
// the caret and becomes text only when committed.
//
// The shell feeds the field through the free functions at the end of this file.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scene/kivo_control.h"

namespace kivo {

class TCustomDIBX;

// The longest text a field takes from typing or pasting, in bytes.
inline constexpr size_t kMaxFieldTextBytes = 32767;

class TKivoCustomEdit : public TKivoControl {
  public:
    TKivoCustomEdit(TKivoBaseList& root, bool multiLine);

    [[nodiscard]] bool MultiLine() const { return multiLine_; }

    [[nodiscard]] const std::string& Text() const { return text_; }
    // A script's text is taken as it comes; the caret goes to its end.
    void SetText(std::string text);
    [[nodiscard]] const std::string& FontName() const { return fontName_; }
    void SetFontName(std::string name);
    // Written as given (a positive value is the character cell height); read as its absolute
    // value.
    [[nodiscard]] int32_t FontHeight() const;
    void SetFontHeight(int32_t height);
    [[nodiscard]] int32_t FontStyle() const { return fontStyle_; }
    void SetFontStyle(int32_t style);
    [[nodiscard]] int32_t FontColor() const { return fontColor_; }
    void SetFontColor(int32_t color);
    // PR_COLOR is the background; -1 is the window colour, white.
    [[nodiscard]] int32_t BackColor() const { return Color(); }
    void SetBackColor(int32_t color);
    [[nodiscard]] bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    // A paused field is disabled: greyed, and it takes neither the focus nor keys.
    [[nodiscard]] bool Paused() const override { return disabled_; }
    void SetPaused(bool paused);
    [[nodiscard]] const std::string& NotifyHandler() const { return notifyHandler_; }
    void SetNotifyHandler(std::string handler) { notifyHandler_ = std::move(handler); }
    [[nodiscard]] bool AlwaysHandlesKeys() const { return true; }

    // The field is painted where the object stands at each frame, so moves need no more than
    // the redraw the base setters ask for; a new parent or visibility may show or hide it.
    void SetParent(TKivoControl* parent) override;
    void SetShown(bool visible);

    // ---- The field ----

    // Whether the field shows: the object and its parent visible, in the shown layer.
    [[nodiscard]] bool FieldShown() const { return fieldShown_; }
    // Whether the field holds the keyboard focus: shown, enabled and the root's focus.
    [[nodiscard]] bool HasFieldFocus() const;
    // The caret as a byte position in the text, always on a character boundary.
    [[nodiscard]] size_t Caret() const { return caret_; }
    [[nodiscard]] const std::string& Composition() const { return composition_; }
    // Shows or hides the field to match the object and takes the focus when it shows.
    void Place();

    // A key pressed while the field has the focus (vk: Windows virtual-key code). With shift
    // the caret keys stretch the selection from where it was anchored.
    void KeyDown(int32_t vk, bool control, bool shift = false);
    // Committed text (code page 932) typed at the caret, in place of the selection.
    void Type(std::string_view text);

    // The selection runs between the anchor and the caret, both on character boundaries;
    // empty when they meet.
    [[nodiscard]] size_t SelectionStart() const { return std::min(anchor_, caret_); }
    [[nodiscard]] size_t SelectionEnd() const { return std::max(anchor_, caret_); }
    [[nodiscard]] std::string SelectedText() const;
    // Takes the selection out of a writable field and returns it (empty when read-only).
    std::string CutSelection();
    // Where a pointer at layer (x, y) puts the caret; with extend the anchor stays, so a drag
    // selects from where the press was.
    void PointAt(int32_t x, int32_t y, bool extend);
    void SetComposition(std::string composition);
    // The caret's rectangle in layer pixels.
    [[nodiscard]] TRect CaretRect();
    // Paints the field over the finished frame.
    void Paint(TCustomDIBX& target);

    [[nodiscard]] bool Update() override;
    void FocusGained() override;
    void FireLeftDown(int32_t x, int32_t y) override;
    void FireMouseMove(int32_t x, int32_t y) override;
    void FireLeftUp(int32_t x, int32_t y) override;

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  protected:
    // The memo's alignment (0 left, 1 right, 2 centre); the edit has none.
    uint8_t align_ = 0;

  private:
    [[nodiscard]] bool ActiveInScene();
    void Changed();
    [[nodiscard]] std::string_view Face() const;
    [[nodiscard]] int32_t PixelSize() const;
    // The text's lines (the memo's at CR LF, CR or LF) with the byte offset of each.
    [[nodiscard]] std::vector<std::pair<size_t, std::string_view>> Lines() const;
    [[nodiscard]] size_t LineOf(size_t position) const;
    [[nodiscard]] int32_t TextWidth(std::string_view text);
    void MoveCaretVertically(int direction);
    void EraseCharAt(size_t position);
    // Removes the selection; false when there was none.
    bool EraseSelection();
    // The byte position of the character edge nearest to x within a line (x from its start).
    [[nodiscard]] size_t PositionInLine(size_t start, std::string_view line, int32_t x);
    // Where a line starts drawing, from the field's left inside its margin.
    [[nodiscard]] int32_t LineShift(std::string_view line);
    [[nodiscard]] size_t PreviousChar(size_t position) const;
    [[nodiscard]] size_t NextChar(size_t position) const;
    // Fills the selected part of a line that starts drawing at (x, y).
    void PaintSelection(TCustomDIBX& target, size_t start, std::string_view line, int32_t x,
                        int32_t y, const TRect& clip);
    void DrawLine(TCustomDIBX& target, std::string_view text, int32_t x, int32_t y,
                  const TRect& clip, uint32_t colour, bool underline);

    bool multiLine_;
    std::string text_;
    std::string fontName_;
    int32_t fontHeight_ = 12;
    uint8_t fontStyle_ = 0;
    int32_t fontColor_ = 0;
    bool readOnly_ = false;
    bool disabled_ = false;
    std::string notifyHandler_;
    bool fieldShown_ = false;
    size_t caret_ = 0;
    size_t anchor_ = 0;
    bool dragging_ = false;
    std::string composition_;
    bool caretOn_ = true;
    int32_t scrollX_ = 0;
    int32_t scrollLine_ = 0;
};

class TKivoEdit final : public TKivoCustomEdit {
  public:
    explicit TKivoEdit(TKivoBaseList& root) : TKivoCustomEdit(root, false) {}
    [[nodiscard]] int32_t Kind() const override { return LT_EDIT; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoEdit"; }
};

class TKivoMemo final : public TKivoCustomEdit {
  public:
    explicit TKivoMemo(TKivoBaseList& root) : TKivoCustomEdit(root, true) {}
    [[nodiscard]] int32_t Kind() const override { return LT_MEMO; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoMemo"; }

    // The platform's codes, unlike the label's: 0 left, 1 right, 2 centre.
    [[nodiscard]] int32_t Alignment() const { return align_; }
    void SetAlignment(int32_t align);

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
};

// ---- What the shell calls ----

// The field that has the keyboard focus, or null.
[[nodiscard]] TKivoCustomEdit* FocusedTextField(TKivoBaseList& root);
// Text committed by the keyboard or an input method (UTF-8). Characters code page 932 lacks
// are dropped; the characters Linux input methods give for the wave dash, double bar, minus
// sign, cent, pound, not sign and em dash become the code page's own.
void TypeIntoTextField(TKivoBaseList& root, std::string_view utf8);
// Converts committed UTF-8 as TypeIntoTextField does.
[[nodiscard]] std::string FieldTextFromUtf8(std::string_view utf8);
void SetTextFieldComposition(TKivoBaseList& root, std::string_view utf8);
// A key pressed (or repeated) while a field may have the focus; true when a field took it.
bool TextFieldKeyDown(TKivoBaseList& root, int32_t vk, bool control, bool shift = false);
// What the focused field's copy (cut: and removal) gives the clipboard, as UTF-8; empty when
// no field has the focus or nothing is selected.
[[nodiscard]] std::string CopyFromTextField(TKivoBaseList& root, bool cut);
// Paints every shown field over the frame just drawn, adding the areas it painted to dirty.
void DrawTextFields(TKivoBaseList& root, std::vector<TRect>& dirty);

}  // namespace kivo
