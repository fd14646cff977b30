#pragma once
// The platform services the player reaches the host through, gathered for passing around. The
// implementation that owns them (desktop or headless) outlives every user of this view.

#include "platform/audio_output.h"
#include "platform/calendar.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/display_device.h"
#include "platform/font_engine.h"
#include "platform/http_client.h"
#include "platform/input.h"
#include "platform/main_window.h"
#include "platform/trace_sink.h"
#include "platform/url_opener.h"
#include "platform/wallpaper.h"

namespace kivo {

struct Platform {
    Clock& clock;
    Calendar& calendar;
    MessageDialogs& dialogs;
    InputSource& input;
    MainWindow& window;
    Presenter& presenter;
    AudioOutput& audio;
    FontEngine& fonts;
    TraceSink& trace;
    UrlOpener& urls;
    DisplayDevice& display;
    Wallpaper& wallpaper;
    HttpClient& http;
};

// The height of the toolbar buttons "終了" and "画面切替" (67 x 18); the dock is 4 pixels taller.
inline constexpr int32_t kToolbarButtonWidth = 67;
inline constexpr int32_t kToolbarButtonHeight = 18;
inline constexpr int32_t kDockHeight = kToolbarButtonHeight + 4;

}  // namespace kivo
