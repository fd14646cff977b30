#pragma once
// The desktop main window on SDL2: a toolbar dock with the buttons "終了" and "画面切替" on
// top of the scene panel, one streaming texture that holds the presented scene, and the
// window's input turned into the player's events (panel coordinates, virtual-key codes,
// toolbar clicks, focus and close).

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "base/rect.h"
#include "platform/display_device.h"
#include "platform/font_engine.h"
#include "platform/input.h"
#include "platform/main_window.h"
#include "platform/trace_sink.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Cursor;
union SDL_Event;

namespace kivo {

// The largest rectangle of the scene's shape within an area, centred in it (letterboxed);
// empty when either has no size.
[[nodiscard]] TRect FitScene(int32_t sceneWidth, int32_t sceneHeight, int32_t areaWidth,
                             int32_t areaHeight);

class SdlWindow final : public MainWindow,
                        public Presenter,
                        public InputSource,
                        public DisplayDevice {
  public:
    // Initialises SDL's video and creates the window hidden, with the caption "KivoPlayer".
    // The toolbar labels are drawn with a font of fonts, which must outlive the window.
    // Raises KivoError when SDL cannot open a display.
    explicit SdlWindow(FontEngine& fonts);
    ~SdlWindow() override;
    SdlWindow(const SdlWindow&) = delete;
    SdlWindow& operator=(const SdlWindow&) = delete;

    void SetTitle(std::string_view utf8Title) override;
    void ShowWithSceneSize(int32_t sceneWidth, int32_t sceneHeight) override;
    [[nodiscard]] int32_t DockHeight() const override;
    void Present(const FrameView& frame, std::span<const TRect> dirty) override;
    [[nodiscard]] bool PollEvent(InputEvent& event) override;
    void WaitForEvent(uint32_t timeoutMs) override;
    void SetTextInput(bool on, int32_t caretX, int32_t caretY, int32_t caretWidth,
                      int32_t caretHeight) override;
    [[nodiscard]] std::string ClipboardText() override;
    void SetClipboardText(std::string_view utf8) override;

    // Modes of the display the window is on; 32 bits for the usual 8-bit-per-channel formats
    // (which SDL counts as 24).
    [[nodiscard]] std::vector<DisplayMode> Modes() override;
    [[nodiscard]] int32_t DesktopBitCount() override;
    // Desktop full screen: the window covers the monitor at its current mode; the toolbar
    // hides and comes back while the pointer is at the top of the screen.
    [[nodiscard]] bool SetFullScreen(bool fullScreen) override;
    void SetSmoothScaling(bool smooth) override;
    void ShowCursor(const CursorImage* image) override;
    void MovePointer(int32_t x, int32_t y) override;
    // The dock's menu of the player's comforts, its fast-forward mark and its notices.
    void ShowComforts(const ComfortStatus& status) override;
    void Notify(ComfortNotice notice, int32_t value) override;

    // Reads back the window's client area as shown (toolbar and scene), rows of
    // Width x Height pixels (B, G, R, X). For screenshots of the desktop player.
    [[nodiscard]] std::vector<uint32_t> CaptureClientArea(int32_t& width, int32_t& height);

    // Writes "FirstPresent N ms" to trace once, right after the first frame has gone to the
    // screen, N being the milliseconds since launched: how long a start takes, measured without
    // changing anything a game sees. trace is borrowed and must outlive the window.
    void TraceFirstPresent(TraceSink& trace, std::chrono::steady_clock::time_point launched);

  private:
    enum class ToolButton { None, Quit, ScreenSwitch, Menu };
    struct MenuItem {
        std::string label;
        ComfortAction action;
        int32_t slot;
    };

    void Translate(const SDL_Event& event);
    void PaintToolbar();
    void DrawLabel(std::vector<uint32_t>& pixels, int32_t width, int32_t height, int32_t x,
                   int32_t baseline, std::string_view utf8);
    [[nodiscard]] std::vector<MenuItem> MenuItems() const;
    void PaintMenu();
    // The menu item under a window point, -1 for none.
    [[nodiscard]] int32_t MenuItemAt(int32_t x, int32_t y) const;
    // Takes a click while the menu is open: an item acts, anything else closes the menu.
    void MenuClick(int32_t x, int32_t y);
    // Draws the toolbar and the scene into the renderer; Redraw also presents them.
    void Compose();
    void Redraw();
    [[nodiscard]] bool OutputHasClientSize() const;
    // Places the scene below the dock in the renderer's output, from its current size.
    void PlacePanel();
    // A window point (the pointer's) in scene pixels.
    void ScenePoint(int32_t windowX, int32_t windowY, int32_t& x, int32_t& y) const;
    [[nodiscard]] ToolButton ButtonAt(int32_t x, int32_t y) const;
    // Makes the scene's texture (again, after the renderer lost it), black until the next
    // present.
    void MakeSceneTexture();
    void ApplyScaleMode();
    // In full screen the toolbar shows only while the pointer is on its rows.
    [[nodiscard]] bool ToolbarShown() const { return !fullScreen_ || pointerOnDock_; }

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* scene_ = nullptr;
    SDL_Texture* toolbar_ = nullptr;
    FontEngine& fonts_;
    std::unique_ptr<Font> font_;  // opened when the toolbar is first painted
    int32_t sceneWidth_ = 0;
    int32_t sceneHeight_ = 0;
    // Where the scene is shown, in output pixels, and the output pixels per window point.
    TRect panel_;
    int32_t dockPixels_ = 0;
    double pixelsPerPointX_ = 1;
    double pixelsPerPointY_ = 1;
    ToolButton pressed_ = ToolButton::None;
    std::deque<InputEvent> pending_;
    TraceSink* firstPresentTrace_ = nullptr;  // until the first present
    std::chrono::steady_clock::time_point launched_;
    bool fullScreen_ = false;
    bool pointerOnDock_ = false;
    bool smooth_ = false;
    // The scene texture is new or lost its frame with the device: it is not shown until the
    // next present has uploaded the frame whole.
    bool wholeFrameWanted_ = false;
    SDL_Cursor* cursor_ = nullptr;
    SDL_Texture* menu_ = nullptr;
    bool menuOpen_ = false;
    // Labels in Japanese when the user's locale is Japanese, else in English.
    bool japanese_ = false;
    ComfortStatus comforts_;
    std::string notice_;
    uint64_t noticeUntil_ = 0;
    // What text input was last set to, so that an unchanged state costs no call into SDL.
    bool textInputOn_ = false;
    TRect textInputCaret_;
};

}  // namespace kivo
