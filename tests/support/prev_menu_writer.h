#pragma once
// Writer of preview-menu files ("KivoPrevMenu"). Fields are written in the layout of the
// file's version: the names a version lacks are left out whatever they hold, so one set of
// buttons gives a file of every version. Tests and the demo's build write whole menus with it,
// and the fuzz seeds come from it.
//
//   PrevMenuFile menu{.width = 64, .height = 32};
//   menu.buttons.push_back({.x = 4, .y = 4, .normal = "n.gal", .name = "save"});
//   std::vector<uint8_t> bytes = WritePrevMenu(menu);

#include <cstdint>
#include <string>
#include <vector>

namespace kivo::test {

struct PrevMenuButton {
    int32_t x = 0;
    int32_t y = 0;
    std::string normal;
    bool captureMask = false;
    std::string name;
    std::string hover;
    std::string leave;
    std::string click;
    std::string disabled;       // version 101 on
    std::string disabledHover;  // version 103
    std::string disabledLeave;  // version 103
    std::string hoverOverlay;
    std::string leaveOverlay;
    std::string clickOverlay;
    std::string disabledHoverOverlay;  // version 102 on
    std::string disabledLeaveOverlay;  // version 102 on
    int32_t overlayX = 0;
    int32_t overlayY = 0;
    std::string cursor;
};

struct PrevMenuFile {
    // Three characters; anything but digits is written as given.
    std::string version = "103";
    int32_t width = 0;
    int32_t height = 0;
    std::vector<PrevMenuButton> buttons;
};

[[nodiscard]] std::vector<uint8_t> WritePrevMenu(const PrevMenuFile& menu);

}  // namespace kivo::test
