#pragma once
// The platform of the desktop player: the SDL window, input and audio device, GTK dialogs,
// the host clock and calendar, and the system font set.

#include <chrono>
#include <memory>

#include "platform/desktop/gtk_dialogs.h"
#include "platform/desktop/module_http_client.h"
#include "platform/desktop/sdl_audio_output.h"
#include "platform/desktop/sdl_window.h"
#include "platform/fonts/freetype_font_engine.h"
#include "platform/platform.h"

namespace kivo {

class DesktopPlatform {
  public:
    // trace is borrowed and may be null for no tracing; with a trace, the first frame on screen
    // is traced with the time since launched. Raises KivoError when no window can be opened.
    explicit DesktopPlatform(
        TraceSink* trace = nullptr,
        std::chrono::steady_clock::time_point launched = std::chrono::steady_clock::now());
    DesktopPlatform(const DesktopPlatform&) = delete;
    DesktopPlatform& operator=(const DesktopPlatform&) = delete;

    [[nodiscard]] Platform Services();

    SystemClock clock;
    SystemCalendar calendar;
    // GTK opens its own connection to the display when the first dialog is shown.
    GtkDialogs dialogs;
    FreeTypeFontEngine fonts{FontSet::System};
    // The fonts load their configuration while the window's setup waits on the display.
    SdlWindow window{LoadingInBackground(fonts)};
    SdlAudioOutput audio;
    XdgUrlOpener urls;
    DesktopWallpaper wallpaper;
    ModuleHttpClient http;

  private:
    static FontEngine& LoadingInBackground(FreeTypeFontEngine& fonts);

    NullTraceSink nullTrace_;
    TraceSink* trace_;
};

}  // namespace kivo
