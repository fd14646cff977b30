#include "prev_menu_writer.h"

#include <span>
#include <string_view>

#include "base/byte_io.h"

namespace kivo::test {

namespace {

[[nodiscard]] int32_t NumericVersion(const std::string& version) {
    int32_t number = 0;
    for (const char c : version) {
        if (c < '0' || c > '9') return 0;
        number = number * 10 + (c - '0');
    }
    return number;
}

}  // namespace

std::vector<uint8_t> WritePrevMenu(const PrevMenuFile& menu) {
    ByteWriter out;
    const auto putText = [&](std::string_view text) {
        out.WriteBytes(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    };
    putText("KivoPrevMenu");
    std::string version = menu.version;
    version.resize(3, '0');
    putText(version);
    out.WriteI32(menu.width);
    out.WriteI32(menu.height);
    out.WriteI32(static_cast<int32_t>(menu.buttons.size()));
    const int32_t v = NumericVersion(version);
    for (const PrevMenuButton& b : menu.buttons) {
        out.WriteI32(b.x);
        out.WriteI32(b.y);
        out.WriteCountedString(b.normal);
        out.WriteBool(b.captureMask);
        out.WriteCountedString(b.name);
        out.WriteCountedString(b.hover);
        out.WriteCountedString(b.leave);
        out.WriteCountedString(b.click);
        if (v > 100) out.WriteCountedString(b.disabled);
        if (v > 102) {
            out.WriteCountedString(b.disabledHover);
            out.WriteCountedString(b.disabledLeave);
        }
        out.WriteCountedString(b.hoverOverlay);
        out.WriteCountedString(b.leaveOverlay);
        out.WriteCountedString(b.clickOverlay);
        if (v > 101) {
            out.WriteCountedString(b.disabledHoverOverlay);
            out.WriteCountedString(b.disabledLeaveOverlay);
        }
        out.WriteI32(b.overlayX);
        out.WriteI32(b.overlayY);
        out.WriteCountedString(b.cursor);
    }
    return out.Take();
}

}  // namespace kivo::test
