#include "imaging/bmp_codec.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>
#include <vector>

#include "base/byte_io.h"
#include "base/error.h"

namespace kivo {

namespace {

constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiAlphaBitfields = 6;
constexpr size_t kFileHeaderSize = 14;

// Reads a channel of a bit-fields pixel and widens it to 8 bits.
uint8_t FieldValue(uint32_t pixel, uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask >> shift);
    const uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) return static_cast<uint8_t>(v >> (bits - 8));
    // Widen by repeating the top bits, so that full scale stays full scale.
    uint32_t out = 0;
    int filled = 0;
    for (; filled < 8; filled += bits)
        out = (out << bits) | v;
    return static_cast<uint8_t>(out >> (filled - 8));
}

// The depth a decoded bitmap holds: palettised and 24-bit rows as they are, the two 16-bit
// layouts without alpha as 15 and 16 bits, and every other layout, among them any with an
// alpha mask (1-5-5-5 as well as 4-4-4-4), widened to 32 bits with its alpha.
int OutputBitCount(int bits, const uint32_t (&masks)[4]) {
    if (bits <= 8 || bits == 24) return bits;
    if (bits == 16 && masks[3] == 0 && masks[2] == 0x001F) {
        if (masks[0] == 0x7C00 && masks[1] == 0x03E0) return 15;
        if (masks[0] == 0xF800 && masks[1] == 0x07E0) return 16;
    }
    return 32;
}

// Walks RLE8 or RLE4 codes over a width x height bitmap, calling put(x, y, index) for each
// pixel that lands inside it (y counted from the top; the codes go bottom-up as the format
// requires). It stops at the end-of-bitmap code, once every row is ended, or when the data
// ends between codes; data that ends inside a code raises.
template <typename Put>
void WalkRle(ByteReader& r, int32_t width, int32_t height, bool four, Put&& put) {
    int64_t x = 0;
    int32_t row = 0;  // from the bottom
    auto pixel = [&](uint32_t index) {
        if (x < width && row < height) put(static_cast<int32_t>(x), height - 1 - row, index);
        ++x;
    };
    while (row < height && !r.AtEnd()) {
        const uint8_t count = r.ReadU8();
        const uint8_t value = r.ReadU8();
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                pixel(four ? ((i & 1) ? value & 0x0Fu : value >> 4) : value);
            continue;
        }
        switch (value) {
            case 0:  // end of line
                x = 0;
                ++row;
                break;
            case 1:  // end of bitmap
                return;
            case 2: {  // delta
                x += r.ReadU8();
                row += r.ReadU8();
                break;
            }
            default: {  // absolute run, padded to a 16-bit boundary
                const size_t bytes = four ? (value + 1u) / 2 : value;
                const std::span<const uint8_t> run = r.ReadBytes(bytes);
                for (int i = 0; i < value; ++i) {
                    const uint8_t b = run[static_cast<size_t>(four ? i / 2 : i)];
                    pixel(four ? ((i & 1) ? b & 0x0Fu : b >> 4) : b);
                }
                if (bytes & 1) r.Skip(1);
                break;
            }
        }
    }
}

// Decodes the DIB whose info header starts at infoOffset. pixelOffset is where the rows start
// when a file header says so; otherwise they follow the colour table.
DibPicture DecodeDibAt(std::span<const uint8_t> data, size_t infoOffset,
                       std::optional<size_t> pixelOffset, const std::string& source,
                       int heightDivisor) {
    ByteReader r(data, source);
    r.Seek(infoOffset);
    const uint32_t headerSize = r.ReadU32();
    int64_t width = 0, height = 0;
    uint16_t bits = 0;
    uint32_t compression = kBiRgb, colorsUsed = 0;
    const bool core = headerSize == 12;
    if (core) {
        width = r.ReadU16();
        height = r.ReadI16();
        r.Skip(2);
        bits = r.ReadU16();
    } else if (headerSize >= 40 && headerSize <= 4096) {
        width = r.ReadI32();
        height = r.ReadI32();
        r.Skip(2);
        bits = r.ReadU16();
        compression = r.ReadU32();
        r.Skip(12);
        colorsUsed = r.ReadU32();
        r.Skip(4);
    } else {
        r.Fail("unknown bitmap header");
    }
    const bool topDown = height < 0;
    if (topDown) height = -height;
    height /= heightDivisor;
    if (width <= 0 || height <= 0) r.Fail("bad bitmap size");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        r.Fail("unsupported bit count");
    }
    const bool rle = compression == kBiRle8 || compression == kBiRle4;
    const bool fields = compression == kBiBitfields || compression == kBiAlphaBitfields;
    if ((compression == kBiRle8 && bits != 8) || (compression == kBiRle4 && bits != 4) ||
        (fields && bits != 16 && bits != 32) || compression > kBiAlphaBitfields ||
        (compression > kBiBitfields && compression != kBiAlphaBitfields) || (rle && topDown)) {
        r.Fail("unsupported bitmap compression");
    }

    // Channel masks: in the header from version 4 on (and in the 52- and 56-byte headers),
    // else right after a 40-byte header.
    uint32_t masks[4] = {0, 0, 0, 0};
    if (fields) {
        r.Seek(infoOffset + 40);
        const int count = compression == kBiAlphaBitfields || headerSize >= 56 ? 4 : 3;
        for (int i = 0; i < count; ++i)
            masks[i] = r.ReadU32();
    } else if (bits == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else if (bits == 24 || bits == 32) {
        masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
        if (bits == 32 && headerSize >= 56 && !fields) {
            r.Seek(infoOffset + 52);
            masks[3] = r.ReadU32();
        }
        if (bits == 32 && masks[3] == 0) masks[3] = 0xFF000000;
    }
    size_t tableStart = infoOffset + (core ? 12 : headerSize);
    if (fields && headerSize == 40) tableStart += (compression == kBiAlphaBitfields ? 16 : 12);

    const int outBits = OutputBitCount(bits, masks);
    if (!TDIBSurface::SizeFits(width, height, std::max<int>(outBits, bits)))
        r.Fail("bitmap too large");
    // Uncompressed rows must all be there before the bitmap is allocated.
    const int64_t stride = TDIBSurface::PitchFor(width, bits);
    if (!rle && stride * height > static_cast<int64_t>(r.Size() - std::min(r.Size(), tableStart))) {
        r.Fail("pixel data is too short");
    }

    // The colour table: a table that claims more entries than the depth can index (some
    // writers count more than 256) gives its first ones; rows that follow the table without
    // an offset of their own start after all it claims.
    ColorTable palette{};
    if (bits <= 8) {
        const uint64_t room = uint64_t{1} << bits;
        const uint64_t claimed = colorsUsed == 0 ? room : colorsUsed;
        const size_t entries = static_cast<size_t>(std::min(claimed, room));
        const size_t entrySize = core ? 3 : 4;
        r.Seek(tableStart);
        const std::span<const uint8_t> table = r.ReadBytes(entries * entrySize);
        for (size_t i = 0; i < entries; ++i) {
            palette[i] = {table[i * entrySize], table[i * entrySize + 1], table[i * entrySize + 2],
                          0};
        }
        if (!pixelOffset) {
            if (claimed * entrySize > r.Size() - tableStart) r.Fail("colour table is too short");
            tableStart += static_cast<size_t>(claimed * entrySize);
        }
    }
    r.Seek(pixelOffset ? *pixelOffset : tableStart);
    // Run-length codes are walked once before the bitmap is allocated, so that a few bytes
    // claiming a huge picture fail before they cost its memory.
    if (rle) {
        ByteReader probe = r;
        WalkRle(probe, static_cast<int32_t>(width), static_cast<int32_t>(height),
                compression == kBiRle4, [](int32_t, int32_t, uint32_t) {});
    }

    DibPicture picture;
    TDIBSurface& bitmap = picture.Bitmap;
    bitmap.SetSize(static_cast<int32_t>(width), static_cast<int32_t>(height), outBits);
    if (bits <= 8) bitmap.Palette() = palette;

    if (rle) {
        WalkRle(r, bitmap.Width(), bitmap.Height(), compression == kBiRle4,
                [&](int32_t x, int32_t y, uint32_t index) { bitmap.SetPixel(x, y, index); });
        picture.End = r.Position();
        return picture;
    }
    if (stride * height > static_cast<int64_t>(r.Remaining())) r.Fail("pixel data is too short");
    const size_t start = r.Position();
    const bool direct = bits <= 8 || bits == 24 || (bits == 16 && outBits != 32) ||
                        (bits == 32 && masks[0] == 0xFF0000 && masks[1] == 0xFF00 &&
                         masks[2] == 0xFF && masks[3] == 0xFF000000);
    bool anyAlpha = false;
    for (int64_t i = 0; i < height; ++i) {
        const uint8_t* in = data.data() + start + static_cast<size_t>(i * stride);
        const auto y = static_cast<int32_t>(topDown ? i : height - 1 - i);
        uint8_t* out = bitmap.ScanLine(y);
        if (direct) {
            std::memcpy(out, in, static_cast<size_t>(stride));
            continue;
        }
        // Any other bit-fields layout is widened to 32 bits with its alpha in the fourth byte.
        for (int64_t x = 0; x < width; ++x) {
            const uint32_t pixel = bits == 16 ? LoadLE16(in + x * 2) : LoadLE32(in + x * 4);
            uint8_t* p = out + x * 4;
            p[0] = FieldValue(pixel, masks[2]);
            p[1] = FieldValue(pixel, masks[1]);
            p[2] = FieldValue(pixel, masks[0]);
            p[3] = masks[3] ? FieldValue(pixel, masks[3]) : 0;
        }
    }
    if (outBits == 32) {
        for (int32_t y = 0; y < bitmap.Height() && !anyAlpha; ++y) {
            const uint8_t* row = bitmap.ScanLine(y);
            for (int32_t x = 0; x < bitmap.Width(); ++x)
                anyAlpha |= row[x * 4 + 3] != 0;
        }
        // Most 32-bit bitmaps leave the fourth byte 0: they are opaque, not invisible.
        if (!anyAlpha) {
            for (int32_t y = 0; y < bitmap.Height(); ++y) {
                uint8_t* row = bitmap.ScanLine(y);
                for (int32_t x = 0; x < bitmap.Width(); ++x)
                    row[x * 4 + 3] = 0xFF;
            }
        }
    }
    picture.End = start + static_cast<size_t>(stride * height);
    return picture;
}

}  // namespace

bool IsBmp(std::span<const uint8_t> data) {
    return data.size() >= kFileHeaderSize + 12 && data[0] == 'B' && data[1] == 'M';
}

DibPicture DecodeDib(std::span<const uint8_t> dib, const std::string& source, int heightDivisor) {
    return DecodeDibAt(dib, 0, std::nullopt, source, heightDivisor);
}

TDIBSurface DecodeBmp(std::span<const uint8_t> data, const std::string& source) {
    if (!IsBmp(data)) ThrowBadData(source, "not a BMP file");
    const uint32_t offset = LoadLE32(data.data() + 10);
    if (offset > data.size()) ThrowBadData(source, "pixel data offset past the end");
    // Some writers leave the offset 0; the rows then follow the colour table.
    std::optional<size_t> pixels;
    if (offset >= kFileHeaderSize + 12) pixels = offset;
    return DecodeDibAt(data, kFileHeaderSize, pixels, source, 1).Bitmap;
}

std::vector<uint8_t> EncodeBmp(const TDIBSurface& bitmap) {
    if (bitmap.BitCount() == 2) return EncodeBmp(WidenedForFiles(bitmap));
    const int bits = bitmap.BitCount();
    const int storedBits = bitmap.StorageBitCount();
    const bool fields = bits == 16;
    const uint32_t tableSize = bitmap.IsPalettised() ? 4u << bits : fields ? 12 : 0;
    const auto stride = static_cast<uint32_t>(bitmap.Pitch());
    const uint32_t imageSize = stride * static_cast<uint32_t>(bitmap.Height());
    const uint32_t offset = kFileHeaderSize + 40 + tableSize;
    ByteWriter w;
    w.WriteU8('B');
    w.WriteU8('M');
    w.WriteU32(offset + imageSize);
    w.WriteU32(0);
    w.WriteU32(offset);
    w.WriteU32(40);
    w.WriteI32(bitmap.Width());
    w.WriteI32(bitmap.Height());
    w.WriteU16(1);
    w.WriteU16(static_cast<uint16_t>(storedBits));
    w.WriteU32(fields ? kBiBitfields : kBiRgb);
    w.WriteU32(imageSize);
    w.WriteI32(2835);  // 72 dots per inch
    w.WriteI32(2835);
    w.WriteU32(0);
    w.WriteU32(0);
    if (fields) {
        w.WriteU32(bitmap.RedMask());
        w.WriteU32(bitmap.GreenMask());
        w.WriteU32(bitmap.BlueMask());
    }
    for (int i = 0; i < bitmap.PaletteSize(); ++i) {
        const PaletteEntry& e = bitmap.Palette()[static_cast<size_t>(i)];
        const uint8_t entry[] = {e.Blue, e.Green, e.Red, 0};
        w.WriteBytes(entry);
    }
    // The rows go straight into a buffer of the file's final size: a run-length file of a few
    // bytes can unpack to hundreds of megabytes, and growing the buffer row by row would copy
    // all of it again at every doubling.
    std::vector<uint8_t> file = w.Take();
    file.reserve(static_cast<size_t>(offset) + imageSize);
    for (int32_t y = bitmap.Height() - 1; y >= 0; --y) {
        const uint8_t* row = bitmap.ScanLine(y);
        file.insert(file.end(), row, row + stride);
    }
    return file;
}

}  // namespace kivo
