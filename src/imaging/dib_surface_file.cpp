// Loading and saving TDIBSurface as BMP, TGA, ICO and CUR files, the format chosen by the
// file's extension.

#include <string>
#include <vector>

#include "base/error.h"
#include "base/sjis.h"
#include "imaging/bmp_codec.h"
#include "imaging/dib_surface.h"
#include "imaging/ico_codec.h"
#include "imaging/tga_codec.h"
#include "platform/dialogs.h"
#include "platform/host_files.h"

namespace kivo {

namespace {

constexpr std::string_view kIconPickerTitle = "Select One from Multiple Icons";
constexpr std::string_view kIconPickerButton = "OK";

enum class BitmapFileKind { Bmp, Tga, Icon, Cursor };

BitmapFileKind KindOf(const std::filesystem::path& path) {
    const std::string extension = sjis::ToLowerAscii(path.extension().string());
    if (extension == ".tga") return BitmapFileKind::Tga;
    if (extension == ".ico") return BitmapFileKind::Icon;
    if (extension == ".cur") return BitmapFileKind::Cursor;
    return BitmapFileKind::Bmp;
}

// Codecs name the file in errors about its bytes, but a few checks (sizes, depths) come from
// code that never saw a file name; those errors get this one's.
template <class Step>
auto NamingFile(const std::string& file, Step&& step) {
    try {
        return step();
    } catch (const KivoError& error) {
        if (!error.File().empty()) throw;
        throw KivoError(file, error.Message());
    }
}

size_t ChooseIconImage(std::span<const uint8_t> data, const std::string& source,
                       MessageDialogs* chooser) {
    const std::vector<IconImageInfo> images = ListIconImages(data, source);
    if (images.size() < 2 || chooser == nullptr) return 0;
    std::vector<std::string> lines;
    lines.reserve(images.size());
    for (size_t i = 0; i < images.size(); ++i)
        lines.push_back(DescribeIconImage(i, images[i]));
    const size_t choice = chooser->ChooseFromList(kIconPickerTitle, lines, kIconPickerButton);
    return choice < images.size() ? choice : 0;
}

TDIBSurface DecodeFile(BitmapFileKind kind, std::span<const uint8_t> data,
                       const std::string& source, bool alphaToMask, MessageDialogs* chooser,
                       BitmapFileInfo& info) {
    switch (kind) {
        case BitmapFileKind::Tga: {
            TgaPicture picture = DecodeTga(data, source, alphaToMask);
            info.TransparentValue = picture.TransparentValue;
            return std::move(picture.Bitmap);
        }
        case BitmapFileKind::Icon:
        case BitmapFileKind::Cursor: {
            // The file's own type decides between icon and cursor, not its name.
            info.ImageIndex = ChooseIconImage(data, source, chooser);
            IconPicture picture = DecodeIco(data, source, info.ImageIndex);
            info.IsCursor = picture.IsCursor;
            info.HotspotX = picture.HotspotX;
            info.HotspotY = picture.HotspotY;
            return std::move(picture.Bitmap);
        }
        case BitmapFileKind::Bmp: {
            TDIBSurface bitmap = DecodeBmp(data, source);
            if (alphaToMask) bitmap.MoveAlphaIntoMask();
            return bitmap;
        }
    }
    return {};
}

// The colours only: no Mask, and a 32-bit bitmap's fourth byte 0 so that no reader takes
// whatever it held for alpha.
std::vector<uint8_t> EncodeBmpColours(const TDIBSurface& source) {
    if (source.BitCount() != 32) return EncodeBmp(source);
    TDIBSurface bitmap = source;
    bitmap.FreeMask();
    for (int32_t y = 0; y < bitmap.Height(); ++y) {
        uint8_t* row = bitmap.ScanLine(y);
        for (int32_t x = 0; x < bitmap.Width(); ++x)
            row[x * 4 + 3] = 0;
    }
    return EncodeBmp(bitmap);
}

// TGA colour maps carry no alpha, so a palettised bitmap with a Mask goes out at 32 bits; its
// key follows it as the same colour.
std::vector<uint8_t> EncodeTgaWithMask(const TDIBSurface& source, int64_t transparentValue) {
    if (!source.IsPalettised() || !source.HasMask()) return EncodeTga(source, transparentValue);
    TDIBSurface bitmap = source;
    bitmap.Convert(32);
    const int64_t key =
        transparentValue < 0
            ? -1
            : bitmap.ColorToPixel(source.PixelToColor(static_cast<uint32_t>(transparentValue)));
    return EncodeTga(bitmap, key);
}

std::vector<uint8_t> EncodeFile(BitmapFileKind kind, const TDIBSurface& source,
                                const BitmapFileInfo& info) {
    switch (kind) {
        case BitmapFileKind::Tga:
            return EncodeTgaWithMask(source, info.TransparentValue);
        case BitmapFileKind::Icon:
        case BitmapFileKind::Cursor: {
            IconPicture picture;
            picture.Bitmap = source;
            picture.IsCursor = kind == BitmapFileKind::Cursor;
            picture.HotspotX = info.HotspotX;
            picture.HotspotY = info.HotspotY;
            return EncodeIco(picture);
        }
        case BitmapFileKind::Bmp:
            return EncodeBmpColours(source);
    }
    return {};
}

}  // namespace

BitmapFileInfo TDIBSurface::LoadFromFile(const std::filesystem::path& path, bool alphaToMask,
                                         MessageDialogs* chooser) {
    const std::string source = path.string();
    const std::vector<uint8_t> data = host::ReadFileBytes(path);
    BitmapFileInfo info;
    // Decoded apart, so that a damaged file leaves this bitmap as it was.
    TDIBSurface loaded = NamingFile(
        source, [&] { return DecodeFile(KindOf(path), data, source, alphaToMask, chooser, info); });
    *this = std::move(loaded);
    return info;
}

void TDIBSurface::SaveToFile(const std::filesystem::path& path, const BitmapFileInfo& info) const {
    const std::string target = path.string();
    if (IsEmpty()) throw KivoError(target, "cannot save an empty bitmap");
    const std::vector<uint8_t> bytes =
        NamingFile(target, [&] { return EncodeFile(KindOf(path), *this, info); });
    host::WriteFileBytes(path, bytes);
}

}  // namespace kivo
