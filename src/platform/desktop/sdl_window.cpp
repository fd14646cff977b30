#include "platform/desktop/sdl_window.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "base/error.h"
#include "base/sjis.h"
#include "platform/platform.h"
#include "platform/virtual_keys.h"

namespace kivo {

namespace {

// The classic button face and its bevel.
constexpr uint32_t kFace = 0xFFD4D0C8;
constexpr uint32_t kLight = 0xFFFFFFFF;
constexpr uint32_t kShadow = 0xFF808080;
constexpr uint32_t kDark = 0xFF404040;
constexpr uint32_t kText = 0x000000;
constexpr int32_t kButtonTop = 2;
constexpr int32_t kLabelPixels = 12;
// How long a read-back waits for the window system to apply the client size.
constexpr Uint64 kResizeWaitMs = 10000;
// The face of the toolbar labels: the proportional gothic of the alias table.
constexpr std::string_view kLabelFace = "ＭＳ Ｐゴシック";

struct ToolbarButton {
    const char* label;
    int32_t left;
};
constexpr ToolbarButton kButtons[] = {{"終了", 0}, {"画面切替", kToolbarButtonWidth}};
constexpr int32_t kMenuButtonLeft = 2 * kToolbarButtonWidth;
constexpr int32_t kMenuWidth = 200;
constexpr int32_t kMenuRowHeight = 18;
constexpr uint32_t kNoticeMs = 2500;

// The user's language from the locale variables, in their order of precedence.
bool JapaneseLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return std::string_view(value).starts_with("ja");
    }
    return false;
}

const char* Choose(bool japanese, const char* ja, const char* en) {
    return japanese ? ja : en;
}

}  // namespace

SdlWindow::SdlWindow(FontEngine& fonts) : fonts_(fonts), japanese_(JapaneseLocale()) {
    // The scene is composed in memory, so presenting is one copy of changed rectangles: SDL's
    // software renderer on the window's own frame buffer does it without bringing up OpenGL,
    // which on a machine without a graphics driver loads a whole compiler and its memory
    // (a second at start and about 90 MB). The environment's SDL_RENDER_DRIVER and
    // SDL_FRAMEBUFFER_ACCELERATION still choose otherwise.
    SDL_SetHintWithPriority(SDL_HINT_RENDER_DRIVER, "software", SDL_HINT_DEFAULT);
    SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        throw KivoError(std::string("cannot open the display: ") + SDL_GetError());
    }
    // The window may be resized: the scene then fills the largest rectangle of its shape below
    // the dock, with black bars beside it.
    window_ = SDL_CreateWindow("KivoPlayer", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 320,
                               kDockHeight, SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
    if (window_ != nullptr) renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (renderer_ == nullptr) {
        const std::string reason = SDL_GetError();
        if (window_ != nullptr) SDL_DestroyWindow(window_);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        throw KivoError("cannot create the window: " + reason);
    }
    // A game is watched, not typed into: the screen saver stays away while it runs.
    SDL_DisableScreenSaver();
    // SDL starts with text input on; an input method would then take the keys games read.
    SDL_StopTextInput();
}

SdlWindow::~SdlWindow() {
    if (cursor_) SDL_FreeCursor(cursor_);
    if (scene_) SDL_DestroyTexture(scene_);
    if (menu_) SDL_DestroyTexture(menu_);
    if (toolbar_) SDL_DestroyTexture(toolbar_);
    SDL_DestroyRenderer(renderer_);
    SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void SdlWindow::SetTitle(std::string_view utf8Title) {
    SDL_SetWindowTitle(window_, std::string(utf8Title).c_str());
}

int32_t SdlWindow::DockHeight() const {
    return kDockHeight;
}

void SdlWindow::ShowWithSceneSize(int32_t sceneWidth, int32_t sceneHeight) {
    sceneWidth_ = std::max(sceneWidth, 1);
    sceneHeight_ = std::max(sceneHeight, 1);
    SDL_SetWindowSize(window_, sceneWidth_, sceneHeight_ + kDockHeight);
    SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    MakeSceneTexture();
    PaintToolbar();
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
    // The application is active as soon as its window appears; focus events adjust it later.
    // (A display without a window manager never sends them.)
    pending_.push_back(InputEvent{InputKind::Activate});
    Redraw();
}

void SdlWindow::MakeSceneTexture() {
    if (scene_) SDL_DestroyTexture(scene_);
    scene_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                               sceneWidth_, sceneHeight_);
    if (scene_ == nullptr) return;
    ApplyScaleMode();
    // A new texture holds nothing yet: the panel shows the cleared black until the next frame
    // is uploaded into it whole (filling it with black first only delayed the first frame).
    wholeFrameWanted_ = true;
}

void SdlWindow::ApplyScaleMode() {
    // Scaled pixels stay sharp unless the game asked for smooth scaling.
    if (scene_)
        SDL_SetTextureScaleMode(scene_, smooth_ ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
}

void SdlWindow::SetSmoothScaling(bool smooth) {
    smooth_ = smooth;
    ApplyScaleMode();
    Redraw();
}

std::vector<DisplayMode> SdlWindow::Modes() {
    std::vector<DisplayMode> modes;
    const int display = std::max(SDL_GetWindowDisplayIndex(window_), 0);
    const int count = SDL_GetNumDisplayModes(display);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode{};
        if (SDL_GetDisplayMode(display, i, &mode) != 0) continue;
        modes.push_back({mode.w, mode.h, static_cast<int32_t>(SDL_BYTESPERPIXEL(mode.format)) * 8,
                         mode.refresh_rate});
    }
    return modes;
}

int32_t SdlWindow::DesktopBitCount() {
    SDL_DisplayMode mode{};
    const int display = std::max(SDL_GetWindowDisplayIndex(window_), 0);
    if (SDL_GetDesktopDisplayMode(display, &mode) != 0) return 24;
    return static_cast<int32_t>(SDL_BYTESPERPIXEL(mode.format)) * 8;
}

bool SdlWindow::SetFullScreen(bool fullScreen) {
    if (fullScreen == fullScreen_) return true;
    const Uint32 flags = fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0;
    if (SDL_SetWindowFullscreen(window_, flags) != 0) return false;
    fullScreen_ = fullScreen;
    pointerOnDock_ = false;
    if (!fullScreen) {
        SDL_SetWindowSize(window_, sceneWidth_, sceneHeight_ + kDockHeight);
        SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
    Redraw();
    return true;
}

void SdlWindow::ShowCursor(const CursorImage* image) {
    SDL_Cursor* made = nullptr;
    if (image != nullptr && image->width > 0 && image->height > 0 &&
        image->pixels.size() ==
            static_cast<size_t>(image->width) * static_cast<size_t>(image->height)) {
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<uint32_t*>(image->pixels.data()), image->width, image->height, 32,
            image->width * 4, SDL_PIXELFORMAT_ARGB8888);
        if (surface != nullptr) {
            made = SDL_CreateColorCursor(surface, std::clamp(image->hotX, 0, image->width - 1),
                                         std::clamp(image->hotY, 0, image->height - 1));
            SDL_FreeSurface(surface);
        }
    }
    // A picture the system refuses shows the arrow, like a missing file.
    SDL_SetCursor(made != nullptr ? made : SDL_GetDefaultCursor());
    if (cursor_) SDL_FreeCursor(cursor_);
    cursor_ = made;
}

void SdlWindow::MovePointer(int32_t x, int32_t y) {
    if (sceneWidth_ <= 0 || sceneHeight_ <= 0) return;
    const double px = panel_.Left + (x + 0.5) * panel_.Width() / sceneWidth_;
    const double py = panel_.Top + (y + 0.5) * panel_.Height() / sceneHeight_;
    SDL_WarpMouseInWindow(window_, static_cast<int>(px / pixelsPerPointX_),
                          static_cast<int>(py / pixelsPerPointY_));
}

void SdlWindow::DrawLabel(std::vector<uint32_t>& pixels, int32_t width, int32_t height, int32_t x,
                          int32_t baseline, std::string_view utf8) {
    for (size_t pos = 0; pos < utf8.size();) {
        const std::optional<uint32_t> code = sjis::NextUtf8(utf8, pos);
        if (!code) {
            ++pos;
            continue;
        }
        const GlyphBitmap glyph = font_->Render(*code, GlyphDepth::Gray256);
        for (int32_t row = 0; row < glyph.height; ++row) {
            const int32_t cy = baseline - glyph.originY + row;
            for (int32_t col = 0; col < glyph.width; ++col) {
                const int32_t cx = x + glyph.originX + col;
                const uint32_t coverage =
                    glyph.coverage[static_cast<size_t>(row * glyph.width + col)];
                if (coverage == 0 || cx < 0 || cx >= width || cy < 0 || cy >= height) continue;
                uint32_t& pixel = pixels[static_cast<size_t>(cy * width + cx)];
                uint32_t mixed = 0;
                for (int shift = 0; shift <= 16; shift += 8) {
                    const uint32_t under = (pixel >> shift) & 0xFF;
                    const uint32_t over = (kText >> shift) & 0xFF;
                    mixed |= ((over * coverage + under * (255 - coverage) + 127) / 255) << shift;
                }
                pixel = mixed | 0xFF000000u;
            }
        }
        x += glyph.advance;
    }
}

void SdlWindow::PaintToolbar() {
    const int32_t width = sceneWidth_;
    // A missing font leaves the buttons without labels but working.
    if (!font_) font_ = fonts_.Open(kLabelFace, kLabelPixels, 0);
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * kDockHeight, kFace);
    const auto put = [&](int32_t x, int32_t y, uint32_t color) {
        if (x >= 0 && x < width && y >= 0 && y < kDockHeight)
            pixels[static_cast<size_t>(y * width + x)] = color;
    };
    constexpr ToolbarButton kAllButtons[] = {kButtons[0], kButtons[1], {"", kMenuButtonLeft}};
    for (const ToolbarButton& button : kAllButtons) {
        const bool down =
            (pressed_ == ToolButton::Quit && button.left == 0) ||
            (pressed_ == ToolButton::ScreenSwitch && button.left == kToolbarButtonWidth) ||
            ((pressed_ == ToolButton::Menu || menuOpen_) && button.left == kMenuButtonLeft);
        const int32_t l = button.left;
        const int32_t t = kButtonTop;
        const int32_t r = l + kToolbarButtonWidth - 1;
        const int32_t b = t + kToolbarButtonHeight - 1;
        for (int32_t x = l; x <= r; ++x) {
            put(x, t, down ? kDark : kLight);
            put(x, b, down ? kLight : kDark);
            if (!down) put(x, b - 1, kShadow);
        }
        for (int32_t y = t; y <= b; ++y) {
            put(l, y, down ? kDark : kLight);
            put(r, y, down ? kLight : kDark);
            if (!down) put(r - 1, y, kShadow);
        }
        if (font_ && *button.label != '\0') {
            const FontMetrics& metrics = font_->Metrics();
            const int32_t shift = down ? 1 : 0;
            const int32_t x =
                l + (kToolbarButtonWidth - font_->MeasureUtf8(button.label)) / 2 + shift;
            const int32_t baseline =
                t + (kToolbarButtonHeight - metrics.height) / 2 + metrics.ascent + shift;
            DrawLabel(pixels, width, kDockHeight, x, baseline, button.label);
        }
    }
    // The menu button, then the fast-forward mark and the last notice.
    if (font_) {
        const FontMetrics& metrics = font_->Metrics();
        const int32_t baseline =
            kButtonTop + (kToolbarButtonHeight - metrics.height) / 2 + metrics.ascent;
        const char* label = Choose(japanese_, "メニュー", "Menu");
        const int32_t shift = pressed_ == ToolButton::Menu || menuOpen_ ? 1 : 0;
        DrawLabel(pixels, width, kDockHeight,
                  kMenuButtonLeft + (kToolbarButtonWidth - font_->MeasureUtf8(label)) / 2 + shift,
                  baseline + shift, label);
        std::string status = comforts_.fastForward ? "▶▶ " : "";
        status += notice_;
        DrawLabel(pixels, width, kDockHeight, kMenuButtonLeft + kToolbarButtonWidth + 6, baseline,
                  status);
    }
    if (toolbar_) SDL_DestroyTexture(toolbar_);
    toolbar_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                                 width, kDockHeight);
    if (toolbar_) SDL_UpdateTexture(toolbar_, nullptr, pixels.data(), width * 4);
}

void SdlWindow::PlacePanel() {
    // The renderer's output may have more pixels than the window has points (HiDPI screens);
    // the panel is placed in output pixels and the pointer is mapped back through the ratio.
    int outputWidth = 0, outputHeight = 0, windowWidth = 0, windowHeight = 0;
    SDL_GetWindowSize(window_, &windowWidth, &windowHeight);
    if (SDL_GetRendererOutputSize(renderer_, &outputWidth, &outputHeight) != 0 ||
        windowWidth <= 0 || windowHeight <= 0) {
        outputWidth = windowWidth = sceneWidth_;
        outputHeight = windowHeight = sceneHeight_ + kDockHeight;
    }
    pixelsPerPointX_ = static_cast<double>(outputWidth) / windowWidth;
    pixelsPerPointY_ = static_cast<double>(outputHeight) / windowHeight;
    dockPixels_ = static_cast<int32_t>(kDockHeight * pixelsPerPointY_ + 0.5);
    // In full screen the scene has the whole monitor and the toolbar shows over it on demand.
    const int32_t reserved = fullScreen_ ? 0 : dockPixels_;
    panel_ = FitScene(sceneWidth_, sceneHeight_, outputWidth, outputHeight - reserved);
    panel_.Top += reserved;
    panel_.Bottom += reserved;
}

TRect FitScene(int32_t sceneWidth, int32_t sceneHeight, int32_t areaWidth, int32_t areaHeight) {
    if (sceneWidth <= 0 || sceneHeight <= 0 || areaWidth <= 0 || areaHeight <= 0) return {};
    // The largest rectangle of the scene's shape: as wide as the area unless that is too tall.
    int64_t width = areaWidth;
    int64_t height = width * sceneHeight / sceneWidth;
    if (height > areaHeight) {
        height = areaHeight;
        width = height * sceneWidth / sceneHeight;
    }
    const int32_t left = static_cast<int32_t>((areaWidth - width) / 2);
    const int32_t top = static_cast<int32_t>((areaHeight - height) / 2);
    return {left, top, left + static_cast<int32_t>(width), top + static_cast<int32_t>(height)};
}

void SdlWindow::ScenePoint(int32_t windowX, int32_t windowY, int32_t& x, int32_t& y) const {
    const double px = windowX * pixelsPerPointX_ - panel_.Left;
    const double py = windowY * pixelsPerPointY_ - panel_.Top;
    const int32_t w = std::max(panel_.Width(), 1);
    const int32_t h = std::max(panel_.Height(), 1);
    x = static_cast<int32_t>(std::floor(px * sceneWidth_ / w));
    y = static_cast<int32_t>(std::floor(py * sceneHeight_ / h));
}

void SdlWindow::Compose() {
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    PlacePanel();
    // The dock keeps its own size at the top left.
    const SDL_Rect dock{0, 0, static_cast<int>(sceneWidth_ * pixelsPerPointX_ + 0.5), dockPixels_};
    const SDL_Rect panel{panel_.Left, panel_.Top, panel_.Width(), panel_.Height()};
    if (scene_ && !wholeFrameWanted_) SDL_RenderCopy(renderer_, scene_, nullptr, &panel);
    if (toolbar_ && ToolbarShown()) SDL_RenderCopy(renderer_, toolbar_, nullptr, &dock);
    if (menu_ && menuOpen_ && ToolbarShown()) {
        const int32_t rows = static_cast<int32_t>(MenuItems().size());
        const SDL_Rect menu{static_cast<int>(kMenuButtonLeft * pixelsPerPointX_ + 0.5), dockPixels_,
                            static_cast<int>(kMenuWidth * pixelsPerPointX_ + 0.5),
                            static_cast<int>(rows * kMenuRowHeight * pixelsPerPointY_ + 0.5)};
        SDL_RenderCopy(renderer_, menu_, nullptr, &menu);
    }
}

std::vector<SdlWindow::MenuItem> SdlWindow::MenuItems() const {
    const bool ja = japanese_;
    std::vector<MenuItem> items;
    const auto mark = [](bool on) { return std::string(on ? "✓ " : "   "); };
    items.push_back(
        {mark(fullScreen_) + Choose(ja, "全画面 (Alt+Enter)", "Full screen (Alt+Enter)"),
         ComfortAction::ToggleFullScreen, 0});
    items.push_back(
        {mark(comforts_.fastForward) + Choose(ja, "早送り (Alt+F)", "Fast-forward (Alt+F)"),
         ComfortAction::ToggleFastForward, 0});
    items.push_back({mark(false) + Choose(ja, "スクリーンショット (Alt+S)", "Screenshot (Alt+S)"),
                     ComfortAction::Screenshot, 0});
    items.push_back({mark(comforts_.muted) + Choose(ja, "消音 (Alt+M)", "Mute (Alt+M)"),
                     ComfortAction::ToggleMute, 0});
    const std::string volume = " " + std::to_string(comforts_.volumePercent) + "%";
    items.push_back({mark(false) + Choose(ja, "音量を上げる", "Volume up") + volume,
                     ComfortAction::VolumeUp, 0});
    items.push_back({mark(false) + Choose(ja, "音量を下げる", "Volume down") + volume,
                     ComfortAction::VolumeDown, 0});
    for (int32_t slot = 1; slot <= 9; ++slot) {
        const std::string& time = comforts_.stateTimes[static_cast<size_t>(slot - 1)];
        items.push_back({mark(false) + Choose(ja, "ステートを保存 ", "Save state ") +
                             std::to_string(slot) + "  " + time,
                         ComfortAction::SaveState, slot});
    }
    for (int32_t slot = 1; slot <= 9; ++slot) {
        const std::string& time = comforts_.stateTimes[static_cast<size_t>(slot - 1)];
        if (time.empty()) continue;
        items.push_back({mark(false) + Choose(ja, "ステートを復元 ", "Restore state ") +
                             std::to_string(slot) + "  " + time,
                         ComfortAction::LoadState, slot});
    }
    return items;
}

void SdlWindow::PaintMenu() {
    if (renderer_ == nullptr) return;
    if (!font_) font_ = fonts_.Open(kLabelFace, kLabelPixels, 0);
    const std::vector<MenuItem> items = MenuItems();
    const int32_t height = static_cast<int32_t>(items.size()) * kMenuRowHeight;
    std::vector<uint32_t> pixels(static_cast<size_t>(kMenuWidth) * height, kFace);
    for (int32_t x = 0; x < kMenuWidth; ++x) {
        pixels[static_cast<size_t>(x)] = kLight;
        pixels[static_cast<size_t>((height - 1) * kMenuWidth + x)] = kDark;
    }
    for (int32_t y = 0; y < height; ++y) {
        pixels[static_cast<size_t>(y * kMenuWidth)] = kLight;
        pixels[static_cast<size_t>(y * kMenuWidth + kMenuWidth - 1)] = kDark;
    }
    if (font_) {
        const FontMetrics& metrics = font_->Metrics();
        for (size_t i = 0; i < items.size(); ++i) {
            const int32_t top = static_cast<int32_t>(i) * kMenuRowHeight;
            DrawLabel(pixels, kMenuWidth, height, 4,
                      top + (kMenuRowHeight - metrics.height) / 2 + metrics.ascent, items[i].label);
        }
    }
    if (menu_) SDL_DestroyTexture(menu_);
    menu_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                              kMenuWidth, height);
    if (menu_) SDL_UpdateTexture(menu_, nullptr, pixels.data(), kMenuWidth * 4);
}

int32_t SdlWindow::MenuItemAt(int32_t x, int32_t y) const {
    if (x < kMenuButtonLeft || x >= kMenuButtonLeft + kMenuWidth || y < kDockHeight) return -1;
    const int32_t row = (y - kDockHeight) / kMenuRowHeight;
    return row < static_cast<int32_t>(MenuItems().size()) ? row : -1;
}

void SdlWindow::MenuClick(int32_t x, int32_t y) {
    const int32_t row = MenuItemAt(x, y);
    if (row >= 0) {
        const MenuItem item = MenuItems()[static_cast<size_t>(row)];
        pending_.push_back(
            InputEvent{InputKind::ComfortMenu, item.slot, 0, static_cast<int32_t>(item.action)});
    }
    menuOpen_ = false;
    PaintToolbar();
    Redraw();
}

void SdlWindow::ShowComforts(const ComfortStatus& status) {
    comforts_ = status;
    if (renderer_ == nullptr) return;
    PaintToolbar();
    if (menuOpen_) PaintMenu();
    Redraw();
}

void SdlWindow::Notify(ComfortNotice notice, int32_t value) {
    const bool ja = japanese_;
    const std::string n = std::to_string(value);
    switch (notice) {
        case ComfortNotice::StateSaved:
            notice_ = Choose(ja, "ステート保存 ", "State saved ") + n;
            break;
        case ComfortNotice::StateLoaded:
            notice_ = Choose(ja, "ステート復元 ", "State restored ") + n;
            break;
        case ComfortNotice::StateFailed:
            notice_ = Choose(ja, "ステート失敗 ", "State failed ") + n;
            break;
        case ComfortNotice::ScreenshotSaved:
            notice_ = Choose(ja, "スクリーンショット保存", "Screenshot saved");
            break;
        case ComfortNotice::ScreenshotFailed:
            notice_ = Choose(ja, "スクリーンショット失敗", "Screenshot failed");
            break;
        case ComfortNotice::Volume:
            notice_ = Choose(ja, "音量 ", "Volume ") + n + "%";
            break;
        case ComfortNotice::Muted:
            notice_ = Choose(ja, "消音", "Muted");
            break;
        case ComfortNotice::FastForwardOn:
            notice_ = Choose(ja, "早送り", "Fast-forward");
            break;
        case ComfortNotice::FastForwardOff:
            notice_ = Choose(ja, "通常速度", "Normal speed");
            break;
    }
    noticeUntil_ = SDL_GetTicks64() + kNoticeMs;
    if (renderer_ == nullptr) return;
    PaintToolbar();
    Redraw();
}

void SdlWindow::Redraw() {
    Compose();
    SDL_RenderPresent(renderer_);
}

void SdlWindow::Present(const FrameView& frame, std::span<const TRect> dirty) {
    if (scene_ == nullptr || frame.pixels == nullptr) return;
    const TRect bounds{0, 0, std::min(frame.width, sceneWidth_),
                       std::min(frame.height, sceneHeight_)};
    bool changed = false;
    if (wholeFrameWanted_) {
        // Only changed rectangles are uploaded normally; a new texture needs everything.
        const SDL_Rect area{bounds.Left, bounds.Top, bounds.Width(), bounds.Height()};
        SDL_UpdateTexture(scene_, &area, frame.pixels, frame.stride * 4);
        wholeFrameWanted_ = false;
        changed = true;
    }
    for (const TRect& rect : dirty) {
        const TRect r = Intersect(rect, bounds);
        if (r.IsEmpty()) continue;
        const SDL_Rect area{r.Left, r.Top, r.Width(), r.Height()};
        SDL_UpdateTexture(scene_, &area,
                          frame.pixels + static_cast<ptrdiff_t>(r.Top) * frame.stride + r.Left,
                          frame.stride * 4);
        changed = true;
    }
    if (!changed) return;
    Redraw();
    if (firstPresentTrace_ != nullptr) {
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - launched_);
        firstPresentTrace_->WriteLine("FirstPresent " + std::to_string(elapsed.count()) + " ms");
        // Whoever times the start reads the line as it comes.
        firstPresentTrace_->Flush();
        firstPresentTrace_ = nullptr;
    }
}

void SdlWindow::TraceFirstPresent(TraceSink& trace,
                                  std::chrono::steady_clock::time_point launched) {
    firstPresentTrace_ = &trace;
    launched_ = launched;
}

bool SdlWindow::OutputHasClientSize() const {
    int w = 0, h = 0;
    return SDL_GetRendererOutputSize(renderer_, &w, &h) == 0 && w == sceneWidth_ &&
           h == sceneHeight_ + kDockHeight;
}

std::vector<uint32_t> SdlWindow::CaptureClientArea(int32_t& width, int32_t& height) {
    width = sceneWidth_;
    height = sceneHeight_ + kDockHeight;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    // The window system applies a new window size a little later (seconds on a busy machine);
    // until it has, the renderer draws at the old size. The events that arrive meanwhile stay
    // queued for PollEvent.
    const Uint64 giveUpAt = SDL_GetTicks64() + kResizeWaitMs;
    while (!OutputHasClientSize() && SDL_GetTicks64() < giveUpAt) {
        SDL_PumpEvents();
        SDL_Delay(10);
    }
    // Read before presenting: what the renderer holds after a present is undefined. The
    // rectangle is the client area, so a renderer of another size never writes past pixels.
    Compose();
    const SDL_Rect area{0, 0, width, height};
    if (!OutputHasClientSize() || SDL_RenderReadPixels(renderer_, &area, SDL_PIXELFORMAT_ARGB8888,
                                                       pixels.data(), width * 4) != 0) {
        std::fill(pixels.begin(), pixels.end(), 0u);
    }
    SDL_RenderPresent(renderer_);
    return pixels;
}

SdlWindow::ToolButton SdlWindow::ButtonAt(int32_t x, int32_t y) const {
    if (y < kButtonTop || y >= kButtonTop + kToolbarButtonHeight || x < 0) return ToolButton::None;
    if (x < kToolbarButtonWidth) return ToolButton::Quit;
    if (x < 2 * kToolbarButtonWidth) return ToolButton::ScreenSwitch;
    if (x < 3 * kToolbarButtonWidth) return ToolButton::Menu;
    return ToolButton::None;
}

bool SdlWindow::PollEvent(InputEvent& event) {
    if (!notice_.empty() && SDL_GetTicks64() >= noticeUntil_) {
        notice_.clear();
        PaintToolbar();
        Redraw();
    }
    SDL_Event raw;
    while (pending_.empty() && SDL_PollEvent(&raw) != 0)
        Translate(raw);
    if (pending_.empty()) return false;
    event = pending_.front();
    pending_.pop_front();
    return true;
}

void SdlWindow::WaitForEvent(uint32_t timeoutMs) {
    if (!pending_.empty()) return;
    SDL_Event raw;
    if (SDL_WaitEventTimeout(&raw, static_cast<int>(timeoutMs)) != 0) Translate(raw);
}

void SdlWindow::SetTextInput(bool on, int32_t caretX, int32_t caretY, int32_t caretWidth,
                             int32_t caretHeight) {
    const TRect caret{caretX, caretY, caretX + caretWidth, caretY + caretHeight};
    if (on != textInputOn_) {
        textInputOn_ = on;
        if (on) {
            SDL_StartTextInput();
        } else {
            SDL_StopTextInput();
        }
    }
    if (!on || caret == textInputCaret_) return;
    textInputCaret_ = caret;
    // Scene pixels to window points: the inverse of ScenePoint.
    const double sx = panel_.Width() / static_cast<double>(std::max(sceneWidth_, 1));
    const double sy = panel_.Height() / static_cast<double>(std::max(sceneHeight_, 1));
    SDL_Rect rect{static_cast<int>((panel_.Left + caretX * sx) / pixelsPerPointX_),
                  static_cast<int>((panel_.Top + caretY * sy) / pixelsPerPointY_),
                  std::max(1, static_cast<int>(caretWidth * sx / pixelsPerPointX_)),
                  std::max(1, static_cast<int>(caretHeight * sy / pixelsPerPointY_))};
    SDL_SetTextInputRect(&rect);
}

std::string SdlWindow::ClipboardText() {
    if (SDL_HasClipboardText() != SDL_TRUE) return {};
    char* text = SDL_GetClipboardText();
    if (text == nullptr) return {};
    std::string copy(text);
    SDL_free(text);
    return copy;
}

void SdlWindow::SetClipboardText(std::string_view utf8) {
    // SDL takes a terminated string; a failure leaves the clipboard as it was.
    (void)SDL_SetClipboardText(std::string(utf8).c_str());
}

void SdlWindow::Translate(const SDL_Event& event) {
    const auto push = [this](InputKind kind, int32_t x = 0, int32_t y = 0, int32_t key = 0,
                             bool repeat = false) {
        pending_.push_back(InputEvent{kind, x, y, key, repeat});
    };
    switch (event.type) {
        case SDL_QUIT:
            push(InputKind::CloseRequest);
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) push(InputKind::CloseRequest);
            if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) push(InputKind::Activate);
            if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) push(InputKind::Deactivate);
            if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                Redraw();
            }
            break;
        case SDL_RENDER_DEVICE_RESET:
        case SDL_RENDER_TARGETS_RESET:
            // The renderer lost its textures (a driver reset, a switch of the GPU): both are
            // made again and the next frame is uploaded whole.
            MakeSceneTexture();
            PaintToolbar();
            Redraw();
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (const int32_t key = VirtualKeyFromHidUsage(event.key.keysym.scancode); key != 0) {
                push(event.type == SDL_KEYDOWN ? InputKind::KeyDown : InputKind::KeyUp, 0, 0, key,
                     event.key.repeat != 0);
            }
            break;
        case SDL_MOUSEMOTION: {
            if (fullScreen_) {
                // The toolbar comes down while the pointer is on its rows.
                const bool onDock = event.motion.y < kDockHeight;
                if (onDock != pointerOnDock_) {
                    pointerOnDock_ = onDock;
                    Redraw();
                }
            }
            int32_t x = 0, y = 0;
            ScenePoint(event.motion.x, event.motion.y, x, y);
            push(InputKind::PointerMove, x, y);
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const bool down = event.type == SDL_MOUSEBUTTONDOWN;
            const int32_t x = event.button.x;
            const int32_t y = event.button.y;
            if (menuOpen_ && y >= kDockHeight) {
                // An open menu takes the click; outside it the click only closes it.
                if (!down) MenuClick(x, y);
                break;
            }
            if ((y < kDockHeight && ToolbarShown()) || pressed_ != ToolButton::None) {
                // The toolbar: a button acts when it is released over the button it was pressed on.
                if (event.button.button != SDL_BUTTON_LEFT) break;
                const ToolButton over = ButtonAt(x, y);
                if (down) {
                    pressed_ = over;
                } else {
                    const ToolButton was = pressed_;
                    pressed_ = ToolButton::None;
                    if (was == over && was == ToolButton::Quit) push(InputKind::QuitButton);
                    if (was == over && was == ToolButton::ScreenSwitch)
                        push(InputKind::ScreenSwitchButton);
                    if (was == over && was == ToolButton::Menu) {
                        menuOpen_ = !menuOpen_;
                        if (menuOpen_) PaintMenu();
                    } else if (menuOpen_) {
                        menuOpen_ = false;
                    }
                }
                PaintToolbar();
                Redraw();
                break;
            }
            if (event.button.button == SDL_BUTTON_LEFT)
                push(down ? InputKind::LeftDown : InputKind::LeftUp);
            if (event.button.button == SDL_BUTTON_RIGHT)
                push(down ? InputKind::RightDown : InputKind::RightUp);
            break;
        }
        case SDL_TEXTINPUT:
            pending_.push_back(InputEvent{InputKind::TextInput, 0, 0, 0, false, event.text.text});
            break;
        case SDL_TEXTEDITING: {
            InputEvent editing{InputKind::TextEditing, 0,     0,
                               event.edit.start,       false, event.edit.text};
            pending_.push_back(std::move(editing));
            break;
        }
        case SDL_MOUSEWHEEL:
            if (event.wheel.y > 0) push(InputKind::WheelUp);
            if (event.wheel.y < 0) push(InputKind::WheelDown);
            break;
        default:
            break;
    }
}

}  // namespace kivo
