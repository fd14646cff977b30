#include "imaging/ico_codec.h"

#include <cstdio>

#include "base/byte_io.h"
#include "base/error.h"
#include "imaging/bmp_codec.h"
#include "imaging/png_codec.h"

namespace kivo {

namespace {

constexpr size_t kDirectorySize = 6;
constexpr size_t kEntrySize = 16;

struct Entry {
    IconImageInfo info;
    uint16_t field4 = 0;  // planes, or the hotspot x of a cursor
    uint16_t field6 = 0;  // bit count, or the hotspot y of a cursor
    uint32_t offset = 0;
};

// The bytes of an image: from its offset to the end of the file. The directory's byte count
// is not trusted, since many writers give a smaller one than the image; the image's own
// header says how far it reaches, and its reader checks that against the file.
std::span<const uint8_t> ImageBytes(std::span<const uint8_t> data, const Entry& entry) {
    return data.subspan(entry.offset);
}

std::vector<Entry> ReadDirectory(std::span<const uint8_t> data, const std::string& source) {
    if (!IsIco(data)) ThrowBadData(source, "not an icon or cursor file");
    ByteReader r(data, source);
    r.Skip(4);
    const uint16_t count = r.ReadU16();
    std::vector<Entry> entries(count);
    for (Entry& e : entries) {
        const uint8_t width = r.ReadU8();
        const uint8_t height = r.ReadU8();
        r.Skip(2);
        e.field4 = r.ReadU16();
        e.field6 = r.ReadU16();
        r.Skip(4);  // byte count
        e.offset = r.ReadU32();
        // A zero byte stands for 256.
        e.info = {width == 0 ? 256 : width, height == 0 ? 256 : height, e.field6};
        if (e.offset >= data.size()) r.Fail("icon image outside the file");
    }
    return entries;
}

}  // namespace

bool IsIco(std::span<const uint8_t> data) {
    if (data.size() < kDirectorySize + kEntrySize) return false;
    const uint16_t type = LoadLE16(data.data() + 2);
    return LoadLE16(data.data()) == 0 && (type == 1 || type == 2) && LoadLE16(data.data() + 4) > 0;
}

std::vector<IconImageInfo> ListIconImages(std::span<const uint8_t> data,
                                          const std::string& source) {
    std::vector<IconImageInfo> list;
    const bool cursor = IsIco(data) && LoadLE16(data.data() + 2) == 2;
    for (const Entry& e : ReadDirectory(data, source)) {
        IconImageInfo info = e.info;
        // Cursors keep their hotspot where icons keep the bit count; ask the image itself.
        const std::span<const uint8_t> image = ImageBytes(data, e);
        if ((cursor || info.BitCount == 0) && image.size() >= 16 && LoadLE32(image.data()) >= 40) {
            info.BitCount = LoadLE16(image.data() + 14);
        }
        list.push_back(info);
    }
    return list;
}

std::string DescribeIconImage(size_t index, const IconImageInfo& info) {
    char line[64];
    std::snprintf(line, sizeof line, "%.3d : %d x %d  %d bpp", static_cast<int>(index), info.Width,
                  info.Height, info.BitCount);
    return line;
}

IconPicture DecodeIco(std::span<const uint8_t> data, const std::string& source, size_t index) {
    const std::vector<Entry> entries = ReadDirectory(data, source);
    if (index >= entries.size()) ThrowBadData(source, "no such icon image");
    const Entry& entry = entries[index];
    const std::span<const uint8_t> image = ImageBytes(data, entry);
    IconPicture picture;
    picture.IsCursor = LoadLE16(data.data() + 2) == 2;
    if (picture.IsCursor) picture.HotspotX = entry.field4, picture.HotspotY = entry.field6;

    if (IsPng(image)) {
        PngPicture png = DecodePng(image, source);
        picture.Bitmap = std::move(png.Bitmap);
        if (!picture.Bitmap.HasMask()) picture.Bitmap.FillMaskOpaque();
        return picture;
    }
    DibPicture dib = DecodeDib(image, source, 2);
    TDIBSurface& bitmap = dib.Bitmap;
    const int32_t width = bitmap.Width(), height = bitmap.Height();
    // The AND mask follows the colour rows: 1 bit a pixel, bottom-up, set where transparent.
    const auto stride = static_cast<size_t>(TDIBSurface::PitchFor(width, 1));
    if (dib.End > image.size() || stride * static_cast<size_t>(height) > image.size() - dib.End) {
        ThrowBadData(source, "icon mask is too short");
    }
    TDIBSurface mask(width, height, 8);
    for (int32_t i = 0; i < height; ++i) {
        const uint8_t* bits = image.data() + dib.End + static_cast<size_t>(i) * stride;
        uint8_t* out = mask.ScanLine(height - 1 - i);
        const uint8_t* colour = bitmap.ScanLine(height - 1 - i);
        for (int32_t x = 0; x < width; ++x) {
            const bool clear = (bits[x / 8] >> (7 - x % 8)) & 1;
            const uint8_t alpha = bitmap.BitCount() == 32 ? colour[x * 4 + 3] : 255;
            out[x] = clear ? 0 : alpha;
        }
    }
    if (bitmap.BitCount() == 32) bitmap.Convert(24);
    bitmap.CopyMaskFrom(mask);
    picture.Bitmap = std::move(bitmap);
    return picture;
}

std::vector<uint8_t> EncodeIco(const IconPicture& picture) {
    const TDIBSurface& source = picture.Bitmap;
    const int32_t width = source.Width(), height = source.Height();
    if (width <= 0 || height <= 0 || width > 256 || height > 256) {
        throw KivoError("icons are 1 to 256 pixels on a side");
    }
    const auto maskStride = static_cast<uint32_t>(TDIBSurface::PitchFor(width, 1));
    const uint32_t imageSize =
        40 + static_cast<uint32_t>(width * height * 4) + maskStride * static_cast<uint32_t>(height);
    ByteWriter w;
    w.WriteU16(0);
    w.WriteU16(picture.IsCursor ? 2 : 1);
    w.WriteU16(1);
    w.WriteU8(static_cast<uint8_t>(width & 0xFF));
    w.WriteU8(static_cast<uint8_t>(height & 0xFF));
    w.WriteU8(0);
    w.WriteU8(0);
    w.WriteU16(picture.IsCursor ? static_cast<uint16_t>(picture.HotspotX) : 1);
    w.WriteU16(picture.IsCursor ? static_cast<uint16_t>(picture.HotspotY) : 32);
    w.WriteU32(imageSize);
    w.WriteU32(kDirectorySize + kEntrySize);
    w.WriteU32(40);
    w.WriteI32(width);
    w.WriteI32(height * 2);
    w.WriteU16(1);
    w.WriteU16(32);
    for (int i = 0; i < 6; ++i)
        w.WriteU32(0);
    const TDIBSurface* mask = source.Mask();
    for (int32_t y = height - 1; y >= 0; --y) {
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t c = source.PixelToColor(source.GetPixel(x, y));
            w.WriteU8(static_cast<uint8_t>(c >> 16));
            w.WriteU8(static_cast<uint8_t>(c >> 8));
            w.WriteU8(static_cast<uint8_t>(c));
            w.WriteU8(mask ? static_cast<uint8_t>(mask->GetPixel(x, y)) : 255);
        }
    }
    for (int32_t y = height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(maskStride, 0);
        for (int32_t x = 0; x < width; ++x) {
            if (mask && mask->GetPixel(x, y) == 0)
                row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
        w.WriteBytes(row);
    }
    return w.Take();
}

}  // namespace kivo
