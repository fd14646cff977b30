#pragma once
// The preview-menu file ("KivoPrevMenu"): a panel size and the records of its picture
// buttons, as the authoring tool's menu designer saves them. Versions 100 to 103 exist; each
// added picture names to the button record:
//
//   magic "KivoPrevMenu" (12 bytes), version (3 ASCII digits), width, height, count (int32),
//   then count records of: x, y, normal, capture mask (byte), name, hover, leave, click,
//   [disabled: v > 100], [disabled hover, disabled leave: v > 102], hover overlay, leave
//   overlay, click overlay, [disabled hover overlay, disabled leave overlay: v > 101],
//   overlay x, overlay y, cursor.
//
// Integers are little-endian int32; a string is an int32 length and that many bytes (none
// when the length is 0 or less). Names are stored as written in the designer, relative to the
// file's folder; the reader keeps them so.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

struct TContSelButton {
    int32_t x = 0;
    int32_t y = 0;
    std::string normal;
    bool captureMask = false;
    std::string name;
    std::string hover;
    std::string leave;
    std::string click;
    std::string disabled;
    std::string disabledHover;
    std::string disabledLeave;
    std::string hoverOverlay;
    std::string leaveOverlay;
    std::string clickOverlay;
    std::string disabledHoverOverlay;
    std::string disabledLeaveOverlay;
    int32_t overlayX = 0;
    int32_t overlayY = 0;
    std::string cursor;

    friend bool operator==(const TContSelButton&, const TContSelButton&) = default;
};

struct TContSelList {
    static constexpr std::string_view kMagic = "KivoPrevMenu";
    static constexpr int32_t kFirstVersion = 100;
    static constexpr int32_t kLastVersion = 103;

    int32_t version = kLastVersion;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<TContSelButton> buttons;

    // Reads a whole file. A wrong signature or version raises the system's message; a count or
    // string longer than the bytes left, or a file cut short, raises the damaged-data error.
    // Either names the file.
    [[nodiscard]] static TContSelList Parse(std::span<const uint8_t> data,
                                            std::string_view fileName);
};

}  // namespace kivo
