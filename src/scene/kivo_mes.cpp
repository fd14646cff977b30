#include "scene/kivo_mes.h"

#include <limits>

#include "base/error.h"
#include "base/sjis.h"
#include "imaging/draw_context.h"
#include "scene/kivo_base.h"
#include "scene/kivo_base_list.h"
#include "scene/kivo_new_history.h"
#include "scene/kivo_read_list.h"

namespace kivo {

namespace {

constexpr uint8_t kEventPlaying = PR_ONPLAYING;
constexpr uint8_t kEventPlayEnd = PR_ONPLAYEND;
constexpr uint8_t kEventLink = PR_ONLINK;
constexpr uint8_t kEventNotify = PR_ONNOTIFY;
constexpr int32_t kNowhere = std::numeric_limits<int32_t>::min();

}  // namespace

TKivoMes::TKivoMes(TKivoBaseList& root) : TKivoControl(root) {
    word_.settings.paging = true;
    word_.settings.antiAlias = 3;
    word_.onEvent = [this](std::string_view text) { PostNotify(text); };
    root.Text().Equip(word_);
}

TKivoMes::~TKivoMes() {
    // Pages refer to the glyphs of the text; they go first.
    pages_.clear();
}

const TextWorld& TKivoMes::World() const {
    return Root().Text();
}

TWdPage* TKivoMes::CurrentPage() const {
    if (current_ < 0 || static_cast<size_t>(current_) >= pages_.size()) return nullptr;
    return pages_[static_cast<size_t>(current_)].get();
}

void TKivoMes::PlaceText() {
    word_.settings.originX = AbsLeft();
    word_.settings.originY = AbsTop();
}

// ---- Text
// ----------------------------------------------------------------------------------------

void TKivoMes::BuildFromMarkup(const std::string& markup) {
    pages_.clear();
    word_.Clear();
    World().Equip(word_);
    word_.settings.layoutWidth = Width();
    word_.settings.pageHeight = Height();
    std::optional<KivoError> fault;
    try {
        word_.Parse(MarkupLines(markup), World().TextDelay());
    } catch (const KivoError& error) {
        fault = error;
    }
    // Variable fields show the values of the moment the text is set, as in text records.
    word_.ExpandVars(0, -1);
    word_.Layout(pages_, 0, -1);
    // An unlimited layout widens the text to its widest row; the window keeps its own width.
    word_.settings.layoutWidth = Width();
    if (fault) throw *fault;
}

void TKivoMes::SetText(const std::string& markup) {
    Invalidate();
    // Both forms of references go: a window left with old backlog entries would show them
    // again instead of this text once a saved game is loaded.
    data_.Clear();
    markup_ = markup;
    LeaveCurrentPage();
    backlogOffset_ = 0;
    current_ = -1;
    scroll_ = 0;
    std::optional<KivoError> fault;
    try {
        BuildFromMarkup(markup);
    } catch (const KivoError& error) {
        fault = error;
    }
    if (!pages_.empty()) {
        current_ = 0;
        pages_.front()->ResetReveal();
        needsRender_ = clearHover_ = true;
        PageStart();
    }
    if (fault) throw *fault;
}

void TKivoMes::ShowRecord(const std::string& pageFile, int32_t command, bool readMarks) {
    LeaveCurrentPage();
    readMode_ = ReadMarkMode::Off;
    backlogOffset_ = 0;
    if (readMarks) {
        readMode_ = ReadMarkMode::On;
        pageFile_ = pageFile;
        command_ = command;
    }
    data_.references.clear();
    data_.pieces.pieces = {HistPiece{pageFile, command, 0, -1, 0, {}}};
    compact_ = false;
    Rebuild(false);
    ShowPage(0);
}

void TKivoMes::ClearText() {
    LeaveCurrentPage();
    readMode_ = ReadMarkMode::Off;
    data_.Clear();
    SetText({});
}

void TKivoMes::ShowBacklog(int32_t start, int32_t count, bool compact) {
    TKivoNewHistory* history = World().history;
    if (history == nullptr) return;
    LeaveCurrentPage();
    compact_ = compact;
    readMode_ = ReadMarkMode::Backlog;
    backlogOffset_ = history->Fill(start, count, data_);
    if (!history->ScreenMode()) scroll_ = 0;
    // ShowPage announces the backlog's page; a second play start from the rebuild would run
    // the window's handler twice for one page.
    Rebuild(false);
    ShowPage(0);
}

void TKivoMes::Rebuild(bool start) {
    Invalidate();
    markup_.clear();
    LeaveCurrentPage();
    pages_.clear();
    current_ = -1;
    World().Equip(word_);
    word_.settings.layoutWidth = Width();
    word_.settings.pageHeight = Height();
    data_.Rebuild(World(), word_, pages_, backlogOffset_, compact_);
    word_.settings.layoutWidth = Width();
    if (pages_.empty()) return;
    if (start) PageStart();
    needsRender_ = clearHover_ = true;
}

void TKivoMes::ShowPage(int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= pages_.size() || index == current_) return;
    LeaveCurrentPage();
    current_ = index;
    scroll_ = 0;
    TWdPage& page = *pages_[static_cast<size_t>(index)];
    page.SetScrollOffset(0);
    PageStart();
    if (readMode_ == ReadMarkMode::On) RecordCurrentPage();
    page.ResetReveal();
    needsRender_ = clearHover_ = true;
    Invalidate();
}

void TKivoMes::PageStart() {
    if (!onPlayStart_.empty()) {
        const TKivoReadList* marks = World().readMarks;
        const bool read = readMode_ == ReadMarkMode::On && marks != nullptr &&
                          marks->IsRead(pageFile_, command_, current_);
        PostEvent(kEventPlayStart, onPlayStart_, {read ? "1" : "0"});
    }
    startDelay_ = 1;
}

void TKivoMes::RecordCurrentPage() {
    TWdPage* page = CurrentPage();
    if (page == nullptr) return;
    page->StoreFrozenValues();
    const auto [start, end] = PageTextRange(word_, *page);
    if (TKivoNewHistory* history = World().history) {
        history->Record(PendingEntry{Name(), pageFile_, command_, current_, start, end, Width(),
                                     Height(), page->FrozenValues()});
    }
    if (TKivoReadList* marks = World().readMarks) {
        marks->SetPending(Name(), pageFile_, current_, command_);
    }
}

void TKivoMes::LeaveCurrentPage() {
    if (TKivoNewHistory* history = World().history) history->Commit(Name());
    TKivoReadList* marks = World().readMarks;
    if (marks == nullptr) return;
    // A page the script leaves in the frame it was revealed to its end has been read even
    // though no tick saw it finish.
    const TWdPage* page = CurrentPage();
    if (page != nullptr && !page->MoreToReveal() && page->RowIndex() >= page->RowCount()) {
        marks->Commit(Name());
    } else {
        marks->DropPending(Name());
    }
}

int32_t TKivoMes::PlayingState() const {
    const TWdPage* page = CurrentPage();
    return page == nullptr || !page->MoreToReveal() ? 2 : 0;
}

bool TKivoMes::TextPlaying() const {
    const TWdPage* page = CurrentPage();
    if (page == nullptr) return false;
    return static_cast<size_t>(current_) + 1 < pages_.size() || page->MoreToReveal();
}

std::string TKivoMes::ShownText() const {
    const TWdPage* page = CurrentPage();
    if (page == nullptr) return {};
    std::string text;
    for (size_t r = 0; r < page->RowCount() && r <= page->RowIndex(); ++r) {
        const auto& glyphs = page->Row(r)->Children();
        const size_t end = r < page->RowIndex() ? glyphs.size() : page->GlyphIndex();
        for (size_t g = 0; g < end && g < glyphs.size(); ++g) {
            if (glyphs[g]->Kind() == GlyphKind::Char) text += glyphs[g]->ShownText();
        }
    }
    return text;
}

// ---- Settings ----------------------------------------------------------------------------------

void TKivoMes::Rerender() {
    if (CurrentPage() == nullptr) return;
    needsRender_ = true;
    Invalidate();
}

void TKivoMes::SetFontName(std::string face) {
    word_.settings.defaultFace = std::move(face);
    Rerender();
}
void TKivoMes::SetFontHeight(int32_t size) {
    word_.settings.defaultSize = size;
    Rerender();
}
void TKivoMes::SetFontColor(int32_t color) {
    word_.settings.defaultColor = color;
    Rerender();
}
void TKivoMes::SetLinkColor(int32_t color) {
    word_.settings.linkColor = color;
    Rerender();
}
void TKivoMes::SetHoverColor(int32_t color) {
    word_.settings.hoverColor = color;
    Rerender();
}
void TKivoMes::SetBorderColor(int32_t color) {
    word_.settings.borderColor = color;
    Rerender();
}
void TKivoMes::SetShadowColor(int32_t color) {
    word_.settings.shadowColor = color;
    Rerender();
}
void TKivoMes::SetFontBorder(int32_t width) {
    word_.settings.defaultBorderWidth = width;
    Rerender();
}
void TKivoMes::SetFontShadow(int32_t width) {
    word_.settings.defaultShadowWidth = width;
    Rerender();
}
void TKivoMes::SetAntiAlias(bool on) {
    word_.settings.antiAlias = on ? 3 : 0;
    Rerender();
}
void TKivoMes::SetAlpha(int32_t alpha) {
    word_.settings.imageAlpha = alpha;
    Invalidate();
}

void TKivoMes::SetPaused(bool paused) {
    ChangePause(paused_, paused);
}

void TKivoMes::SetTextPaused(bool paused) {
    ChangePause(textPaused_, paused);
}

void TKivoMes::ChangePause(bool& flag, bool paused) {
    const bool was = word_.settings.paused;
    flag = paused;
    word_.settings.paused = paused_ || textPaused_;
    // The text goes on with a fresh wait and fade once neither pause holds it.
    if (was && !word_.settings.paused) {
        if (TWdPage* page = CurrentPage()) page->RestartTiming();
    }
}

void TKivoMes::SetScrollOffset(int32_t offset) {
    scroll_ = offset;
    if (TWdPage* page = CurrentPage()) {
        page->SetScrollOffset(offset);
        page->RestartTiming();
    }
    Invalidate();
}

void TKivoMes::SetWidth(int32_t width) {
    TKivoControl::SetWidth(width);
    word_.settings.layoutWidth = width;
}

void TKivoMes::SetHeight(int32_t height) {
    TKivoControl::SetHeight(height);
    word_.settings.pageHeight = height;
}

// ---- Frame work
// ----------------------------------------------------------------------------------

bool TKivoMes::Update() {
    const bool finished = TKivoControl::Update();
    if (startDelay_ > 0) {
        --startDelay_;
        return finished;
    }
    // The page waits for its play-start handler, but only while the interpreter can take it:
    // a command that holds events back would otherwise wait on a window that waits on it.
    const TTimerList& events = Root().Events();
    if (!events.Blocked() && events.Contains(Handle(), kEventPlayStart)) return finished;
    TWdPage* page = CurrentPage();
    if (page == nullptr) return finished;
    PlaceText();
    if (needsRender_) {
        page->RenderPage();
        needsRender_ = clearHover_ = false;
        Invalidate();
    }
    const RevealTick tick = page->Tick(Root().State().frameDelta);
    if (!tick.revealed.empty()) PostEvent(kEventPlaying, onPlaying_, {tick.revealed});
    if (tick.finishedNow) {
        if (TKivoReadList* marks = World().readMarks) marks->Commit(Name());
        PostEvent(kEventPlayEnd, onPlayEnd_);
    }
    FlushDirty();
    return finished;
}

void TKivoMes::FlushDirty() {
    TKivoBase* layer = Layer();
    if (layer != nullptr && Visible()) {
        const TRect visible = VisibleBounds();
        for (const TRect& rect : word_.DirtyRects()) {
            const TRect cut = Intersect(rect, visible);
            if (!cut.IsEmpty()) layer->AddDirty(cut);
        }
    }
    word_.ClearDirty();
}

void TKivoMes::Draw(TDrawContext& context) {
    TWdPage* page = CurrentPage();
    if (page != nullptr && Visible() && Layer() != nullptr) {
        PlaceText();
        word_.SetDestination(&context.Surface(), Intersect(context.DrawingRect(), VisibleBounds()));
        page->ComposePage();
        word_.SetDestination(nullptr, {});
    }
    TKivoControl::Draw(context);
}

TKivoControl* TKivoMes::HitTest(int32_t x, int32_t y, IgnoreMouseMask mask) {
    if (!OwnVisible() || !BoundsRect().Contains(x, y)) return nullptr;
    const std::vector<TKivoControl*>& children = Children();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (TKivoControl* hit = (*it)->HitTest(x, y, mask)) return hit;
    }
    if (captureLink_) {
        TWdPage* page = CurrentPage();
        PlaceText();
        const TWdGlyph* glyph = page != nullptr ? page->HitTest(x, y) : nullptr;
        if (glyph == nullptr || glyph->LinkText().empty()) return nullptr;
    }
    return ModeInMask(IgnoreMouse(), mask) ? this : nullptr;
}

void TKivoMes::FireLeftDown(int32_t x, int32_t y) {
    TWdPage* page = CurrentPage();
    const std::string link = page != nullptr ? page->HoveredLink() : std::string();
    if (!onLink_.empty() && !link.empty() && !Root().Events().Contains(Handle(), kEventLink)) {
        std::vector<std::string> arguments{page->HoveredText()};
        for (std::string& line : sjis::SplitLines(link))
            arguments.push_back(std::move(line));
        PostEvent(kEventLink, onLink_, std::move(arguments));
        if (TKivoBase* layer = Layer()) layer->Pointer().capture &= ~kCaptureLeft;
        return;
    }
    TKivoControl::FireLeftDown(x, y);
}

void TKivoMes::ClearHover() {
    if (TWdPage* page = CurrentPage()) (void)page->HoverAt(kNowhere, kNowhere);
}

void TKivoMes::FireMouseMove(int32_t x, int32_t y) {
    TKivoControl::FireMouseMove(x, y);
    TWdPage* page = CurrentPage();
    if (page == nullptr) return;
    PlaceText();
    if (paused_ || page->MoreToReveal()) {
        ClearHover();
    } else {
        (void)page->HoverAt(x, y);
    }
    FlushDirty();
}

void TKivoMes::FireMouseOut() {
    TKivoControl::FireMouseOut();
    PlaceText();
    ClearHover();
    FlushDirty();
}

void TKivoMes::PostNotify(std::string_view text) {
    PostEvent(kEventNotify, onNotify_, sjis::SplitLines(text));
}

void TKivoMes::ReleaseImages() {
    word_.ReleaseImages();
}

void TKivoMes::ReloadImages() {
    word_.ReloadImages();
    Rerender();
}

// ---- Properties --------------------------------------------------------------------------------

const PropertyMap& TKivoMes::ClassProperties() {
    static const PropertyMap map = [] {
        using M = TKivoMes;
        PropertyMap m = TKivoControl::ClassProperties();
        m[PR_FONTNAME] = Accessor<&M::FontName, &M::SetFontName>();
        m[PR_FONTHEIGHT] = Accessor<&M::FontHeight, &M::SetFontHeight>();
        m[PR_FONTCOLOR] = Accessor<&M::FontColor, &M::SetFontColor>();
        m[PR_FONTLINKCOLOR] = Accessor<&M::LinkColor, &M::SetLinkColor>();
        m[PR_FONTHOVERCOLOR] = Accessor<&M::HoverColor, &M::SetHoverColor>();
        m[PR_FONTBORDERCOLOR] = Accessor<&M::BorderColor, &M::SetBorderColor>();
        m[PR_FONTSHADOWCOLOR] = Accessor<&M::ShadowColor, &M::SetShadowColor>();
        m[PR_FONTBORDER] = Accessor<&M::FontBorder, &M::SetFontBorder>();
        m[PR_FONTSHADOW] = Accessor<&M::FontShadow, &M::SetFontShadow>();
        m[PR_LINESPACE] = Accessor<&M::LineSpace, &M::SetLineSpace>();
        m[PR_ANTIALIAS] = Accessor<&M::AntiAlias, &M::SetAntiAlias>();
        m[PR_ALPHA] = Accessor<&M::Alpha, &M::SetAlpha>();
        m[PR_DELAY] = Accessor<&M::FadeTime, &M::SetFadeTime>();
        m[PR_TEXTDELAY] = Accessor<&M::WaitScale, &M::SetWaitScale>();
        m[PR_PAUSED] = Accessor<&M::Paused, &M::SetPaused>();
        m[PR_TEXTPAUSED] = Accessor<&M::TextPaused, &M::SetTextPaused>();
        m[PR_TEXT] = Accessor<&M::ShownText, &M::SetText>();
        m[PR_INDEX] = Accessor<&M::PageIndex, &M::ShowPage>();
        m[PR_COUNT] = Accessor<&M::PageCount>();
        m[PR_SCROLLY] = Accessor<&M::ScrollOffset, &M::SetScrollOffset>();
        m[PR_CARETX] = Accessor<&M::CaretX>();
        m[PR_CARETY] = Accessor<&M::CaretY>();
        m[PR_CARETHEIGHT] = Accessor<&M::CaretHeight>();
        m[PR_PLAYING] = Accessor<&M::TextPlaying>();
        m[PR_CAPTURELINK] = Accessor<&M::CaptureLink, &M::SetCaptureLink>();
        m[PR_ONPLAYSTART] = Accessor<&M::OnPlayStart, &M::SetOnPlayStart>();
        m[PR_ONPLAYING] = Accessor<&M::OnPlaying, &M::SetOnPlaying>();
        m[PR_ONPLAYEND] = Accessor<&M::OnPlayEnd, &M::SetOnPlayEnd>();
        m[PR_ONLINK] = Accessor<&M::OnLink, &M::SetOnLink>();
        m[PR_ONNOTIFY] = Accessor<&M::OnNotify, &M::SetOnNotify>();
        m[PR_ONIDLE] = Accessor<&M::IdleHandler, &M::SetOnIdle>();
        return m;
    }();
    return map;
}

// ---- Save record -------------------------------------------------------------------------------

void TKivoMes::Save(ByteWriter& writer) const {
    TKivoControl::Save(writer);
    word_.SaveSettings(writer);
    const TWdPage* page = CurrentPage();
    if (page != nullptr && !data_.pieces.pieces.empty()) {
        // The values the shown page's variable fields froze go with its references.
        TWdPage& shown = *pages_[static_cast<size_t>(current_)];
        shown.StoreFrozenValues();
        data_.Save(writer, &shown.FrozenValues());
    } else {
        data_.Save(writer);
    }
    writer.WriteBool(compact_);
    writer.WriteI32(backlogOffset_);
    writer.WriteCountedString(markup_);
    writer.WriteI32(current_);
    writer.WriteI32(scroll_);
    writer.WriteI32(intSlot_);
    for (const std::string& text : reserved_)
        writer.WriteCountedString(text);
    for (const std::string* handler :
         {&onPlaying_, &onPlayStart_, &onPlayEnd_, &onLink_, &onNotify_}) {
        writer.WriteCountedString(*handler);
    }
    writer.WriteBool(paused_);
    writer.WriteBool(textPaused_);
    writer.WriteI32(word_.settings.waitScale);
    writer.WriteU8(static_cast<uint8_t>(readMode_));
    writer.WriteCountedString(pageFile_);
    writer.WriteI32(command_);
    writer.WriteCountedString(onIdle_);
    writer.WriteBool(captureLink_);
    ByteWriter states;
    for (const auto& each : pages_)
        each->SaveState(states);
    const std::vector<uint8_t> bytes = states.Take();
    writer.WriteI32(static_cast<int32_t>(bytes.size()));
    writer.WriteBytes(bytes);
}

void TKivoMes::Load(ByteReader& reader, int32_t version) {
    TKivoControl::Load(reader, version);
    word_.LoadSettings(reader, version);
    data_.Load(reader, version);
    compact_ = reader.ReadBool();
    if (version >= kSaveVersionOffset) backlogOffset_ = reader.ReadI32();
    markup_ = reader.ReadCountedString();
    const int32_t page = reader.ReadI32();
    const int32_t scroll = reader.ReadI32();
    intSlot_ = reader.ReadI32();
    for (std::string& text : reserved_)
        text = reader.ReadCountedString();
    for (std::string* handler : {&onPlaying_, &onPlayStart_, &onPlayEnd_, &onLink_, &onNotify_})
        *handler = reader.ReadCountedString();
    paused_ = reader.ReadBool();
    textPaused_ = reader.ReadBool();
    word_.settings.waitScale = reader.ReadI32();
    const uint8_t mode = reader.ReadU8();
    if (mode > static_cast<uint8_t>(ReadMarkMode::Backlog)) reader.Fail("bad read-mark mode");
    std::string pageFile = reader.ReadCountedString();
    const int32_t command = reader.ReadI32();
    if (version >= kSaveVersionIdle) onIdle_ = reader.ReadCountedString();
    if (version >= kSaveVersionCaptureLink) captureLink_ = reader.ReadBool();
    const uint32_t size = reader.ReadCount(1);
    std::span<const uint8_t> states = reader.ReadBytes(size);
    // The display is made once, by RebuildAfterLoad, when the game's variables are in place:
    // variable fields evaluate expressions, which may change variables, so a display made
    // here as well would run them twice.
    pages_.clear();
    current_ = -1;
    savedDisplay_ = SavedDisplay{page,
                                 scroll,
                                 static_cast<ReadMarkMode>(mode),
                                 std::move(pageFile),
                                 command,
                                 {states.begin(), states.end()}};
}

void TKivoMes::RebuildAfterLoad() {
    if (!savedDisplay_) return;
    RestoreAfterLoad(*savedDisplay_);
    savedDisplay_.reset();
}

void TKivoMes::RestoreAfterLoad(const SavedDisplay& saved) {
    word_.settings.paused = paused_ || textPaused_;
    word_.settings.layoutWidth = Width();
    word_.settings.pageHeight = Height();
    // Nothing is pending for a window being loaded: the backlog and the read marks come with
    // their own saved pending entries.
    readMode_ = ReadMarkMode::Off;
    current_ = -1;
    if (data_.Empty()) {
        const std::string markup = markup_;
        try {
            BuildFromMarkup(markup);
        } catch (const KivoError&) {
            // The text read before the fault stays, as when it was first shown.
        }
        markup_ = markup;
    } else {
        pages_.clear();
        World().Equip(word_);
        data_.Rebuild(World(), word_, pages_, backlogOffset_, compact_);
        word_.settings.layoutWidth = Width();
    }
    readMode_ = saved.mode;
    pageFile_ = saved.pageFile;
    command_ = saved.command;
    scroll_ = saved.scroll;
    // A saved page index beyond the pages laid out now (a changed scenario) shows nothing.
    const int32_t page = saved.page;
    if (page >= 0 && static_cast<size_t>(page) < pages_.size()) {
        current_ = page;
        pages_[static_cast<size_t>(page)]->SetScrollOffset(saved.scroll);
        pages_[static_cast<size_t>(page)]->ResetReveal();
        needsRender_ = true;
    }
    ByteReader reader(saved.states, "message window state");
    for (const auto& each : pages_) {
        try {
            each->LoadState(reader);
        } catch (const KivoError&) {
            // States saved for another layout end where they no longer fit.
            break;
        }
    }
    // The read marks are not part of a saved game, so whatever mark was pending belongs to
    // the game that ran before the load: the page shown now is the one to mark when it has
    // been read to its end.
    TKivoReadList* marks = World().readMarks;
    if (marks != nullptr && readMode_ == ReadMarkMode::On && current_ >= 0) {
        marks->SetPending(Name(), pageFile_, current_, command_);
    }
    Invalidate();
}

}  // namespace kivo
