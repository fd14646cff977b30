#include "platform/desktop/desktop_platform.h"

namespace kivo {

DesktopPlatform::DesktopPlatform(TraceSink* trace, std::chrono::steady_clock::time_point launched)
    : trace_(trace ? trace : &nullTrace_) {
    if (trace != nullptr) window.TraceFirstPresent(*trace, launched);
}

FontEngine& DesktopPlatform::LoadingInBackground(FreeTypeFontEngine& fonts) {
    fonts.LoadConfigurationInBackground();
    return fonts;
}

Platform DesktopPlatform::Services() {
    return Platform{clock, calendar, dialogs, window, window,    window, audio,
                    fonts, *trace_,  urls,    window, wallpaper, http};
}

}  // namespace kivo
