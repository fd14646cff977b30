#include "imaging/tga_codec.h"

#include <algorithm>
#include <cstring>

#include "base/byte_io.h"
#include "base/error.h"
#include "imaging/pick_px.h"

namespace kivo {

namespace {

constexpr size_t kHeaderSize = 18;
constexpr size_t kFooterSize = 26;
constexpr size_t kExtensionSize = 495;
constexpr size_t kKeyColorOffset = 470;  // inside the extension area
constexpr size_t kAttributesOffset = 494;
constexpr char kSignature[] = "TRUEVISION-XFILE.";  // 17 characters and a zero

// A colour-map entry or 16-bit pixel as 0x00BBGGRR.
uint32_t EntryColor(const uint8_t* p, int bits) {
    switch (bits) {
        case 15:
        case 16: {
            const uint32_t v = LoadLE16(p);
            auto widen = [](uint32_t c) { return (c << 3) | (c >> 2); };
            return widen((v >> 10) & 31) | widen((v >> 5) & 31) << 8 | widen(v & 31) << 16;
        }
        default:
            return uint32_t{p[2]} | uint32_t{p[1]} << 8 | uint32_t{p[0]} << 16;
    }
}

}  // namespace

bool HasTgaFooter(std::span<const uint8_t> data) {
    return data.size() >= kHeaderSize + kFooterSize &&
           std::memcmp(data.data() + data.size() - 18, kSignature, 18) == 0;
}

TgaPicture DecodeTga(std::span<const uint8_t> data, const std::string& source, bool alphaToMask) {
    ByteReader r(data, source);
    const uint8_t idLength = r.ReadU8();
    const uint8_t mapType = r.ReadU8();
    const uint8_t type = r.ReadU8();
    const uint16_t mapFirst = r.ReadU16();
    const uint16_t mapLength = r.ReadU16();
    const uint8_t mapBits = r.ReadU8();
    r.Skip(4);  // origin
    const uint16_t width = r.ReadU16();
    const uint16_t height = r.ReadU16();
    const uint8_t depth = r.ReadU8();
    const uint8_t descriptor = r.ReadU8();
    r.Skip(idLength);

    const int base = type & 7;
    const bool rle = (type & 8) != 0;
    if ((type & ~11) != 0 || base < 1 || base > 3) r.Fail("unsupported TGA image type");
    if (width == 0 || height == 0) r.Fail("bad TGA size");
    const bool mapped = base == 1;
    // Grey images are 8 bits of grey, or 16 bits of grey and alpha.
    const bool greyAlpha = base == 3 && depth == 16;
    if ((mapped && depth != 8) || (base == 3 && depth != 8 && !greyAlpha)) {
        r.Fail("unsupported TGA pixel depth");
    }
    if (base == 2 && depth != 15 && depth != 16 && depth != 24 && depth != 32) {
        r.Fail("unsupported TGA pixel depth");
    }
    if (mapped && mapType != 1) r.Fail("colour-mapped TGA without a colour map");

    const int outBits = greyAlpha ? 32 : base == 2 ? (depth == 16 ? 15 : depth) : 8;
    if (!TDIBSurface::SizeFits(width, height, 32)) r.Fail("TGA image too large");
    // The pixels (or, packed, one packet per 128 of them) must be there before the bitmap
    // is allocated.
    const uint64_t pixelCount = uint64_t{width} * height;
    const uint64_t pixelBytes = (depth + 7u) / 8;
    const uint64_t least =
        rle ? (pixelCount + 127) / 128 * (1 + pixelBytes) : pixelCount * pixelBytes;
    if (least > r.Remaining()) r.Fail("TGA pixel data is too short");
    TgaPicture picture;
    TDIBSurface& bitmap = picture.Bitmap;
    bitmap.SetSize(width, height, outBits);

    if (mapType == 1) {
        if (mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32) {
            r.Fail("bad TGA colour map entry size");
        }
        const size_t entryBytes = (mapBits + 7u) / 8;
        const std::span<const uint8_t> map = r.ReadBytes(entryBytes * mapLength);
        if (mapped) {
            if (size_t{mapFirst} + mapLength > 256) r.Fail("TGA colour map too large");
            bitmap.Palette() = {};
            for (size_t i = 0; i < mapLength; ++i) {
                const uint32_t c = EntryColor(&map[i * entryBytes], mapBits);
                bitmap.Palette()[mapFirst + i] = {static_cast<uint8_t>(c >> 16),
                                                  static_cast<uint8_t>(c >> 8),
                                                  static_cast<uint8_t>(c), 0};
            }
        }
    }

    // The pixels in file order, unpacked from their packets.
    const size_t bytes = (depth + 7u) / 8;
    const size_t total = size_t{width} * height * bytes;
    std::vector<uint8_t> pixels;
    if (rle) {
        pixels.resize(total);
        size_t filled = 0;
        while (filled < total) {
            const uint8_t head = r.ReadU8();
            const size_t count = std::min<size_t>((head & 0x7Fu) + 1u, (total - filled) / bytes);
            if (head & 0x80) {
                const std::span<const uint8_t> value = r.ReadBytes(bytes);
                for (size_t i = 0; i < count; ++i) {
                    std::memcpy(&pixels[filled + i * bytes], value.data(), bytes);
                }
            } else {
                const std::span<const uint8_t> run = r.ReadBytes(count * bytes);
                std::memcpy(&pixels[filled], run.data(), run.size());
            }
            filled += count * bytes;
        }
    } else {
        const std::span<const uint8_t> raw = r.ReadBytes(total);
        pixels.assign(raw.begin(), raw.end());
    }

    const bool topDown = (descriptor & 0x20) != 0;
    const bool rightToLeft = (descriptor & 0x10) != 0;
    const size_t rowBytes = size_t{width} * bytes;
    for (size_t i = 0; i < height; ++i) {
        const auto y = static_cast<int32_t>(topDown ? i : height - 1 - i);
        const uint8_t* in = &pixels[i * rowBytes];
        uint8_t* out = bitmap.ScanLine(y);
        if (greyAlpha) {
            // Grey, then alpha: widened to B, G, R and the alpha in the fourth byte.
            for (size_t x = 0; x < width; ++x) {
                const uint8_t grey = in[x * 2];
                out[x * 4] = out[x * 4 + 1] = out[x * 4 + 2] = grey;
                out[x * 4 + 3] = in[x * 2 + 1];
            }
        } else if (depth == 16 || depth == 15) {
            // The top bit is an attribute bit, not colour.
            for (size_t x = 0; x < width; ++x) {
                const uint16_t v = LoadLE16(in + x * 2) & 0x7FFF;
                StoreLE16(out + x * 2, v);
            }
        } else {
            std::memcpy(out, in, rowBytes);
        }
    }
    if (rightToLeft) bitmap.MirrorH();

    // The extension area of a version 2.0 file may name a key colour (A:R:G:B).
    if (HasTgaFooter(data)) {
        const uint32_t extension = LoadLE32(data.data() + data.size() - kFooterSize);
        // The area must lie between the header and the footer; small files have no room.
        if (data.size() >= kHeaderSize + kExtensionSize + kFooterSize && extension >= kHeaderSize &&
            extension <= data.size() - kFooterSize - kExtensionSize &&
            LoadLE16(data.data() + extension) >= kExtensionSize) {
            const uint32_t key = LoadLE32(data.data() + extension + kKeyColorOffset);
            // Writers that do not use the field leave it 0.
            if (key != 0) {
                const uint32_t colour = ((key >> 16) & 0xFF) | (key & 0xFF00) | (key & 0xFF) << 16;
                picture.TransparentValue = bitmap.ColorToPixel(colour);
            }
        }
    }

    const int alphaBits = descriptor & 0x0F;
    if (outBits == 32 && alphaToMask && (alphaBits > 0 || greyAlpha)) {
        TDIBSurface& mask = bitmap.CreateMask();
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* row = bitmap.ScanLine(y);
            uint8_t* out = mask.ScanLine(y);
            for (int32_t x = 0; x < width; ++x)
                out[x] = row[x * 4 + 3];
        }
        TDIBSurface colour(width, height, 24);
        colour.Draw(0, 0, bitmap);
        colour.CopyMaskFrom(mask);
        bitmap = std::move(colour);
    }
    return picture;
}

std::vector<uint8_t> EncodeTga(const TDIBSurface& source, int64_t transparentValue) {
    if (source.IsEmpty() || source.Width() > 0xFFFF || source.Height() > 0xFFFF) {
        throw KivoError("cannot write this picture as TGA");
    }
    // Bring the picture to one of the stored layouts: 8-bit indices, 5-5-5, 24 or 32 bits.
    TDIBSurface bitmap = source;
    const bool mapped = bitmap.IsPalettised();
    const bool alpha = !mapped && bitmap.HasMask();
    int depth = 8;
    if (mapped) {
        if (bitmap.BitCount() != 8) {
            TDIBSurface wide(bitmap.Width(), bitmap.Height(), 8);
            wide.Palette() = bitmap.Palette();
            for (int32_t y = 0; y < bitmap.Height(); ++y) {
                for (int32_t x = 0; x < bitmap.Width(); ++x)
                    wide.SetPixel(x, y, bitmap.GetPixel(x, y));
            }
            bitmap = std::move(wide);
        }
    } else if (alpha) {
        depth = 32;
        bitmap.Convert(32);
        const TDIBSurface& mask = *source.Mask();
        for (int32_t y = 0; y < bitmap.Height(); ++y) {
            uint8_t* row = bitmap.ScanLine(y);
            for (int32_t x = 0; x < bitmap.Width(); ++x)
                row[x * 4 + 3] = mask.ScanLine(y)[x];
        }
    } else {
        depth = bitmap.BitCount() == 15 || bitmap.BitCount() == 16 ? 16 : 24;
        bitmap.Convert(depth == 16 ? 15 : 24);
    }
    const int bytes = (depth + 7) / 8;
    const int mapEntries = mapped ? source.PaletteSize() : 0;

    ByteWriter w;
    w.WriteU8(0);
    w.WriteU8(mapped ? 1 : 0);
    w.WriteU8(mapped ? 9 : 10);
    w.WriteU16(0);
    w.WriteU16(static_cast<uint16_t>(mapEntries));
    w.WriteU8(mapped ? 24 : 0);
    w.WriteU16(0);
    w.WriteU16(0);
    w.WriteU16(static_cast<uint16_t>(bitmap.Width()));
    w.WriteU16(static_cast<uint16_t>(bitmap.Height()));
    w.WriteU8(static_cast<uint8_t>(depth));
    w.WriteU8(static_cast<uint8_t>(0x20 | (alpha ? 8 : 0)));
    for (int i = 0; i < mapEntries; ++i) {
        const PaletteEntry& e = bitmap.Palette()[static_cast<size_t>(i)];
        const uint8_t entry[] = {e.Blue, e.Green, e.Red};
        w.WriteBytes(entry);
    }

    TPxList runs;
    for (int32_t y = 0; y < bitmap.Height(); ++y) {
        const uint8_t* row = bitmap.ScanLine(y);
        std::unique_ptr<TPickPx> pick = MakePickPx(bytes, row);
        runs.Clear();
        for (int32_t x = 0; x < bitmap.Width(); ++x)
            runs.Add(pick->Next());
        pick->Rewind();
        TPxList::Packet packet;
        while (runs.NextPacket(packet)) {
            if (packet.Repeat) {
                w.WriteU8(static_cast<uint8_t>(0x80 | (packet.Count - 1)));
                w.WriteBytes({pick->Position(), static_cast<size_t>(bytes)});
                pick->Skip(static_cast<size_t>(packet.Count));
            } else {
                w.WriteU8(static_cast<uint8_t>(packet.Count - 1));
                w.WriteBytes({pick->Position(), static_cast<size_t>(packet.Count * bytes)});
                pick->Skip(static_cast<size_t>(packet.Count));
            }
        }
    }

    // Version 2.0: the extension area with the key colour, then the footer.
    const auto extension = static_cast<uint32_t>(w.Size());
    std::vector<uint8_t> area(kExtensionSize, 0);
    StoreLE16(area.data(), static_cast<uint16_t>(kExtensionSize));
    if (transparentValue >= 0) {
        const uint32_t c = source.PixelToColor(static_cast<uint32_t>(transparentValue));
        const uint32_t key = 0xFF000000u | (c & 0xFF) << 16 | (c & 0xFF00) | ((c >> 16) & 0xFF);
        StoreLE32(area.data() + kKeyColorOffset, key);
    }
    area[kAttributesOffset] = alpha ? 3 : 0;
    w.WriteBytes(area);
    w.WriteU32(extension);
    w.WriteU32(0);
    w.WriteBytes({reinterpret_cast<const uint8_t*>(kSignature), 18});
    return w.Take();
}

}  // namespace kivo
