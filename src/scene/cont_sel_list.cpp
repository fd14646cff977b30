#include "scene/cont_sel_list.h"

#include <algorithm>

#include "base/byte_io.h"
#include "base/error.h"

namespace kivo {

namespace {

constexpr std::string_view kFormatError = "KivoPreviewMenu:このファイル形式には対応していません";
constexpr std::string_view kVersionError =
    "KivoPreviewMenu:このバージョンのファイル形式には対応していません";
constexpr size_t kVersionDigits = 3;

// The version field: three decimal digits; anything else reads as 0.
[[nodiscard]] int32_t VersionOf(std::span<const uint8_t> digits) {
    int32_t version = 0;
    for (const uint8_t digit : digits) {
        if (digit < '0' || digit > '9') return 0;
        version = version * 10 + (digit - '0');
    }
    return version;
}

// The fewest bytes a button record of the version takes: its integers, its capture-mask byte
// and the length of each of its strings.
[[nodiscard]] size_t MinimumRecordSize(int32_t version) {
    size_t strings = 9;
    if (version > 100) strings += 1;
    if (version > 101) strings += 2;
    if (version > 102) strings += 2;
    return 4 * 4 + 1 + 4 * strings;
}

[[nodiscard]] TContSelButton ReadButton(ByteReader& reader, int32_t version) {
    TContSelButton b;
    b.x = reader.ReadI32();
    b.y = reader.ReadI32();
    b.normal = reader.ReadCountedString();
    b.captureMask = reader.ReadBool();
    b.name = reader.ReadCountedString();
    b.hover = reader.ReadCountedString();
    b.leave = reader.ReadCountedString();
    b.click = reader.ReadCountedString();
    if (version > 100) b.disabled = reader.ReadCountedString();
    if (version > 102) {
        b.disabledHover = reader.ReadCountedString();
        b.disabledLeave = reader.ReadCountedString();
    }
    b.hoverOverlay = reader.ReadCountedString();
    b.leaveOverlay = reader.ReadCountedString();
    b.clickOverlay = reader.ReadCountedString();
    if (version > 101) {
        b.disabledHoverOverlay = reader.ReadCountedString();
        b.disabledLeaveOverlay = reader.ReadCountedString();
    }
    b.overlayX = reader.ReadI32();
    b.overlayY = reader.ReadI32();
    b.cursor = reader.ReadCountedString();
    return b;
}

}  // namespace

TContSelList TContSelList::Parse(std::span<const uint8_t> data, std::string_view fileName) {
    const std::string file(fileName);
    if (data.size() < kMagic.size() || !std::equal(kMagic.begin(), kMagic.end(), data.begin())) {
        throw KivoError(file, std::string(kFormatError));
    }
    ByteReader reader(data, file);
    (void)reader.ReadBytes(kMagic.size());
    TContSelList list;
    list.version = VersionOf(reader.ReadBytes(kVersionDigits));
    if (list.version < kFirstVersion || list.version > kLastVersion) {
        throw KivoError(file, std::string(kVersionError));
    }
    list.width = reader.ReadI32();
    list.height = reader.ReadI32();
    const uint32_t count = reader.ReadCount(MinimumRecordSize(list.version));
    list.buttons.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        list.buttons.push_back(ReadButton(reader, list.version));
    return list;
}

}  // namespace kivo
