#pragma once
// The message window: a control that shows novel text one page at a time, revealing it glyph
// by glyph at the text speed, and tells the script how far it got through its event handlers
// (play start with the page's read flag, playing, play end, links, notifications). Its text is
// markup (PR_TEXT) or a text record of a scenario page (TextIns), which it refers to by page
// file and command index; with read marks on, each page it shows is the pending backlog entry
// and the pending read mark until the window leaves it. CallHist shows backlog pages in it.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scene/kivo_control.h"
#include "scene/kivo_new_mes_data.h"
#include "text/tp_word.h"
#include "text/wd_page.h"

namespace kivo {

// Event codes the window posts besides the control's own.
inline constexpr uint8_t kEventPlayStart = 101;

// Read-mark modes.
enum class ReadMarkMode : uint8_t { Off = 0, On = 1, Backlog = 2 };

class TKivoMes final : public TKivoControl {
  public:
    // Save versions that added fields to the window's record.
    static constexpr int32_t kSaveVersionIdle = 104;    // the idle handler (above 103)
    static constexpr int32_t kSaveVersionOffset = 113;  // the backlog offset (above 112)
    static constexpr int32_t kSaveVersionCaptureLink = 120;

    explicit TKivoMes(TKivoBaseList& root);
    ~TKivoMes() override;

    [[nodiscard]] int32_t Kind() const override { return LT_MES; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoMes"; }

    // ---- Text ----

    // Shows new markup from its first page. A markup fault (A without HREF) raises after the
    // text read before it is shown.
    void SetText(const std::string& markup);
    // Shows a text record of a scenario page from its first page (TextIns); with readMarks the
    // pages are recorded in the backlog and the read marks.
    void ShowRecord(const std::string& pageFile, int32_t command, bool readMarks);
    // TextClr: read marks off and no text.
    void ClearText();
    // CallHist: the backlog from start for count (clamped by the caller) in this window.
    void ShowBacklog(int32_t start, int32_t count, bool compact);
    // Shows page index (PR_INDEX); an invalid index or the current page changes nothing.
    void ShowPage(int32_t index);

    // 2 when no page is current or it has nothing more to reveal, else 0 (commands that wait
    // for the window).
    [[nodiscard]] int32_t PlayingState() const;

    // ---- Properties ----

    [[nodiscard]] const std::string& FontName() const { return word_.settings.defaultFace; }
    void SetFontName(std::string face);
    [[nodiscard]] int32_t FontHeight() const { return word_.settings.defaultSize; }
    void SetFontHeight(int32_t size);
    [[nodiscard]] int32_t FontColor() const { return word_.settings.defaultColor; }
    void SetFontColor(int32_t color);
    [[nodiscard]] int32_t LinkColor() const { return word_.settings.linkColor; }
    void SetLinkColor(int32_t color);
    [[nodiscard]] int32_t HoverColor() const { return word_.settings.hoverColor; }
    void SetHoverColor(int32_t color);
    [[nodiscard]] int32_t BorderColor() const { return word_.settings.borderColor; }
    void SetBorderColor(int32_t color);
    [[nodiscard]] int32_t ShadowColor() const { return word_.settings.shadowColor; }
    void SetShadowColor(int32_t color);
    [[nodiscard]] int32_t FontBorder() const { return word_.settings.defaultBorderWidth; }
    void SetFontBorder(int32_t width);
    [[nodiscard]] int32_t FontShadow() const { return word_.settings.defaultShadowWidth; }
    void SetFontShadow(int32_t width);
    [[nodiscard]] int32_t LineSpace() const { return word_.settings.lineSpacing; }
    void SetLineSpace(int32_t spacing) { word_.settings.lineSpacing = spacing; }
    [[nodiscard]] bool AntiAlias() const { return word_.settings.antiAlias > 0; }
    void SetAntiAlias(bool on);
    [[nodiscard]] int32_t Alpha() const { return word_.settings.imageAlpha; }
    void SetAlpha(int32_t alpha);
    [[nodiscard]] int32_t FadeTime() const { return word_.settings.fadeDuration; }
    void SetFadeTime(int32_t ms) { word_.settings.fadeDuration = ms < 0 ? 0 : ms; }
    [[nodiscard]] int32_t WaitScale() const { return word_.settings.waitScale; }
    void SetWaitScale(int32_t scale) { word_.settings.waitScale = scale; }
    [[nodiscard]] bool Paused() const override { return paused_; }
    void SetPaused(bool paused);
    [[nodiscard]] bool TextPaused() const { return textPaused_; }
    void SetTextPaused(bool paused);
    [[nodiscard]] std::string ShownText() const;
    [[nodiscard]] int32_t PageIndex() const { return current_; }
    [[nodiscard]] int32_t PageCount() const { return static_cast<int32_t>(pages_.size()); }
    [[nodiscard]] int32_t ScrollOffset() const { return scroll_; }
    void SetScrollOffset(int32_t offset);
    [[nodiscard]] int32_t CaretX() const { return word_.settings.caretX; }
    [[nodiscard]] int32_t CaretY() const { return word_.settings.caretY; }
    [[nodiscard]] int32_t CaretHeight() const { return word_.caretHeight; }
    [[nodiscard]] bool TextPlaying() const;
    [[nodiscard]] bool CaptureLink() const { return captureLink_; }
    void SetCaptureLink(bool capture) { captureLink_ = capture; }
    [[nodiscard]] ReadMarkMode ReadMode() const { return readMode_; }

    // Handlers by their PR ids' order in the save record.
    [[nodiscard]] const std::string& OnPlaying() const { return onPlaying_; }
    void SetOnPlaying(std::string handler) { onPlaying_ = std::move(handler); }
    [[nodiscard]] const std::string& OnPlayStart() const { return onPlayStart_; }
    void SetOnPlayStart(std::string handler) { onPlayStart_ = std::move(handler); }
    [[nodiscard]] const std::string& OnPlayEnd() const { return onPlayEnd_; }
    void SetOnPlayEnd(std::string handler) { onPlayEnd_ = std::move(handler); }
    [[nodiscard]] const std::string& OnLink() const { return onLink_; }
    void SetOnLink(std::string handler) { onLink_ = std::move(handler); }
    [[nodiscard]] const std::string& OnNotify() const { return onNotify_; }
    void SetOnNotify(std::string handler) { onNotify_ = std::move(handler); }
    [[nodiscard]] std::string IdleHandler() const override { return onIdle_; }
    void SetOnIdle(std::string handler) { onIdle_ = std::move(handler); }

    void SetWidth(int32_t width) override;
    void SetHeight(int32_t height) override;

    // ---- Scene ----

    [[nodiscard]] bool Update() override;
    void Draw(TDrawContext& context) override;
    [[nodiscard]] TKivoControl* HitTest(int32_t x, int32_t y, IgnoreMouseMask mask) override;
    void FireLeftDown(int32_t x, int32_t y) override;
    void FireMouseMove(int32_t x, int32_t y) override;
    void FireMouseOut() override;
    void ReleaseImages();
    void ReloadImages();

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;
    // A loaded game's variables arrive after its scene, so Load only keeps what the display
    // was; this makes it, once, when the variables are in place and variable fields show the
    // loaded values.
    void RebuildAfterLoad();

    // For tests and the backlog: the text and its pages.
    [[nodiscard]] const TTpWord& Word() const { return word_; }
    [[nodiscard]] TWdPage* CurrentPage() const;

  private:
    [[nodiscard]] const TextWorld& World() const;
    // Places the text's origin at the window's position on its layer.
    void PlaceText();
    void PageStart();
    // Leaving the current page: its backlog entry is committed, and its read mark too when it
    // was shown whole; an unfinished page's mark is dropped.
    void LeaveCurrentPage();
    void RecordCurrentPage();
    void Rebuild(bool start);
    // Parses and lays out markup into the pages; a markup fault raises after the layout.
    void BuildFromMarkup(const std::string& markup);
    void Rerender();
    void ChangePause(bool& flag, bool paused);
    void FlushDirty();
    void ClearHover();
    void PostNotify(std::string_view text);
    // What Load read about the display, kept until the game's variables are in place.
    struct SavedDisplay {
        int32_t page = -1;
        int32_t scroll = 0;
        ReadMarkMode mode = ReadMarkMode::Off;
        std::string pageFile;
        int32_t command = 0;
        std::vector<uint8_t> states;
    };
    void RestoreAfterLoad(const SavedDisplay& saved);

    TTpWord word_;
    PageList pages_;
    std::optional<SavedDisplay> savedDisplay_;
    int32_t current_ = -1;
    int32_t scroll_ = 0;
    int32_t intSlot_ = 0;
    std::array<std::string, 3> reserved_;
    std::string onPlaying_;
    std::string onPlayStart_;
    std::string onPlayEnd_;
    std::string onLink_;
    std::string onNotify_;
    std::string onIdle_;
    bool paused_ = false;
    bool textPaused_ = false;
    ReadMarkMode readMode_ = ReadMarkMode::Off;
    std::string pageFile_;
    int32_t command_ = 0;
    std::string markup_;
    bool compact_ = false;
    int32_t backlogOffset_ = 0;
    bool captureLink_ = false;
    bool needsRender_ = false;
    bool clearHover_ = false;
    int32_t startDelay_ = 0;
    TKivoNewMesData data_;
};

}  // namespace kivo
