#include "platform/desktop/desktop_platform.h"

namespace kivo {

DesktopPlatform::DesktopPlatform(TraceSink* trace) : trace_(trace ? trace : &nullTrace_) {}

Platform DesktopPlatform::Services() {
    return Platform{clock, calendar, dialogs, window, window, window,
                    audio, fonts,    *trace_, urls,   http};
}

}  // namespace kivo
