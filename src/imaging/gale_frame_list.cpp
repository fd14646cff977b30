#include "imaging/gale_frame_list.h"
#include "base/sjis.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/byte_io.h"
#include "base/error.h"
#include "imaging/bmp_codec.h"
#include "imaging/dibx.h"
#include "imaging/jpeg_codec.h"
#include "imaging/png_codec.h"
#include "imaging/tga_codec.h"
#include "platform/host_files.h"
#include "storage/tp_random.h"

namespace kivo {

namespace {

constexpr int32_t kWrittenVersion = 106;
constexpr int32_t kHeaderRecordSize = 40;
// The smallest frame and layer records, used to check counts against the bytes left.
constexpr size_t kMinFrameRecord = 4 + 4 + 4 + 1 + 4 + 4 + 4 + 4 + 4;
constexpr size_t kMinLayerRecord = 8 + 1 + 4 + 4 + 4 + 4;

bool IsGaleBitCount(int32_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 15 || bits == 16 || bits == 24 ||
           bits == 32;
}

// Inflates one zlib stream (RFC 1950) into out, producing at most out.size() bytes; returns
// how many it produced. Bytes beyond the buffer are never produced, so a small file cannot
// make us allocate without bound.
//
// A stream that fills the buffer is taken as it is, checksum unread, as a reader that stops at
// the size it wants always took it; only a stream that ends short of the buffer is held to its
// Adler-32. The deflate data is therefore inflated raw after the header is checked here, which
// spares a checksum pass over every full bitmap.
size_t InflateInto(std::span<const uint8_t> input, std::span<uint8_t> out,
                   const std::string& source) {
    // Deflate with a window of at most 32 KiB, a header check that holds, no preset dictionary.
    if (input.size() < 2) ThrowBadData(source, "damaged zlib pixel data");
    const unsigned method = input[0], flags = input[1];
    if ((method & 0x0F) != 8 || (method >> 4) > 7 || (method * 256 + flags) % 31 != 0 ||
        (flags & 0x20) != 0) {
        ThrowBadData(source, "damaged zlib pixel data");
    }
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) throw KivoError(source, "zlib could not start");
    z.next_in = const_cast<Bytef*>(input.data() + 2);
    z.avail_in = static_cast<uInt>(std::min<size_t>(input.size() - 2, UINT32_MAX));
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&z, Z_FINISH);
    const size_t produced = out.size() - z.avail_out;
    const std::span<const uint8_t> trailer(z.next_in, z.avail_in);
    inflateEnd(&z);
    if (produced == out.size()) return produced;
    const auto check = [&] {
        return uint32_t{trailer[0]} << 24 | uint32_t{trailer[1]} << 16 | uint32_t{trailer[2]} << 8 |
               uint32_t{trailer[3]};
    };
    if (result != Z_STREAM_END || trailer.size() < 4 ||
        check() != adler32_z(adler32_z(0, nullptr, 0), out.data(), produced)) {
        ThrowBadData(source, "damaged zlib pixel data");
    }
    return produced;
}

std::vector<uint8_t> Inflate(std::span<const uint8_t> input, size_t limit,
                             const std::string& source) {
    std::vector<uint8_t> out(limit);
    out.resize(InflateInto(input, out, source));
    return out;
}

std::vector<uint8_t> Deflate(std::span<const uint8_t> input) {
    uLongf size = compressBound(static_cast<uLong>(input.size()));
    std::vector<uint8_t> out(size);
    if (compress2(out.data(), &size, input.data(), static_cast<uLong>(input.size()), 1) != Z_OK) {
        throw KivoError("zlib compression failed");
    }
    out.resize(size);
    return out;
}

// The permutation of rows or block entries under a seed: stored item i belongs at order[i].
std::vector<int32_t> KeyedOrder(int32_t seed, int32_t count) {
    TTpRandom random(seed);
    random.Shuffle(count);
    std::vector<int32_t> order(static_cast<size_t>(count));
    for (auto& position : order)
        position = random.Draw();
    return order;
}

// Copies a w x h area between bitmaps of the same depth; the areas may lie in one bitmap as
// long as they do not overlap.
void CopyArea(TDIBSurface& dst, int32_t dx, int32_t dy, const TDIBSurface& src, int32_t sx,
              int32_t sy, int32_t w, int32_t h) {
    if (dst.BitCount() >= 8) {
        const size_t span = static_cast<size_t>(w) * static_cast<size_t>(dst.BytesPerPixel());
        for (int32_t row = 0; row < h; ++row) {
            std::memmove(dst.PixelAddress(dx, dy + row), src.PixelAddress(sx, sy + row), span);
        }
        return;
    }
    for (int32_t row = 0; row < h; ++row) {
        for (int32_t col = 0; col < w; ++col) {
            dst.SetPixel(dx + col, dy + row, src.GetPixel(sx + col, sy + row));
        }
    }
}

// Everything the pixel data of one layer needs to know about the file.
struct DataContext {
    const std::string& source;
    int32_t version;
    GaleEncoding encoding;
    bool keyed;
    int32_t code;
    int32_t blockWidth;
    int32_t blockHeight;
    const std::vector<std::unique_ptr<TGaleFrame>>& frames;
    size_t frameIndex;  // the frame being read, already in frames
    size_t layerIndex;  // the layer being read, not yet in the frame
};

int64_t BlockRowBytes(int bits, int64_t width) {
    return (int64_t{bits == 15 ? 16 : bits} * width + 7) / 8;
}

// The largest decoded size the data of a bitmap can have, to bound inflation.
size_t MaxDecodedSize(const DataContext& ctx, const TDIBSurface& bitmap) {
    const int64_t rows = int64_t{bitmap.Pitch()} * bitmap.Height();
    if (ctx.version < 103 || ctx.blockWidth <= 0 || ctx.blockHeight <= 0) {
        return static_cast<size_t>(rows);
    }
    const int64_t cols = (bitmap.Width() + int64_t{ctx.blockWidth} - 1) / ctx.blockWidth;
    const int64_t blockRows = (bitmap.Height() + int64_t{ctx.blockHeight} - 1) / ctx.blockHeight;
    // Every block stored raw: each bitmap row is cut into cols pieces of at most one
    // padding byte each.
    const int64_t pixels =
        bitmap.Height() * (BlockRowBytes(bitmap.BitCount(), bitmap.Width()) + cols);
    return static_cast<size_t>(cols * blockRows * 8 + pixels);
}

void ReadRows(const DataContext& ctx, std::span<const uint8_t> data, TDIBSurface& bitmap,
              bool permuted, int32_t seed) {
    const auto pitch = static_cast<size_t>(bitmap.Pitch());
    const auto height = bitmap.Height();
    if (data.size() < pitch * static_cast<size_t>(height)) {
        ThrowBadData(ctx.source, "pixel data is too short");
    }
    if (!permuted) {
        std::memcpy(bitmap.Bits().data(), data.data(), pitch * static_cast<size_t>(height));
        return;
    }
    const std::vector<int32_t> order = KeyedOrder(seed, height);
    for (size_t i = 0; i < order.size(); ++i) {
        std::memcpy(bitmap.ScanLine(order[i]), data.data() + i * pitch, pitch);
    }
}

// Finds the bitmap an (a >= 0, b) block entry refers to: layer b of frame a, read earlier.
const TDIBSurface& ReferencedBitmap(const DataContext& ctx, int32_t frame, int32_t layer, bool mask,
                                    const TDIBSurface& bitmap) {
    const auto f = static_cast<size_t>(frame);
    if (f > ctx.frameIndex || layer < 0) ThrowBadData(ctx.source, "block refers to a later frame");
    const TGaleFrame& target = *ctx.frames[f];
    const auto l = static_cast<size_t>(layer);
    const size_t available = f == ctx.frameIndex ? ctx.layerIndex : target.Layers.size();
    if (l >= available || l >= target.Layers.size()) {
        ThrowBadData(ctx.source, "block refers to a missing layer");
    }
    const TDIBSurface* referenced = &target.Layers[l]->Bitmap;
    if (mask) referenced = referenced->Mask();
    if (!referenced || referenced->BitCount() != bitmap.BitCount()) {
        ThrowBadData(ctx.source, "block refers to a layer of another kind");
    }
    return *referenced;
}

void ReadBlocks(const DataContext& ctx, std::span<const uint8_t> data, TDIBSurface& bitmap,
                bool mask) {
    const int32_t bw = ctx.blockWidth, bh = ctx.blockHeight;
    const int32_t cols = static_cast<int32_t>((int64_t{bitmap.Width()} + bw - 1) / bw);
    const int32_t rows = static_cast<int32_t>((int64_t{bitmap.Height()} + bh - 1) / bh);
    const int64_t count = int64_t{cols} * rows;
    ByteReader reader(data, ctx.source);
    if (count * 8 > static_cast<int64_t>(reader.Remaining())) {
        ThrowBadData(ctx.source, "block table is too short");
    }
    struct Entry {
        int32_t a = 0, b = 0;
    };
    std::vector<Entry> table(static_cast<size_t>(count));
    std::vector<int32_t> order;
    if (ctx.keyed) order = KeyedOrder(ctx.code, static_cast<int32_t>(count));
    for (size_t i = 0; i < table.size(); ++i) {
        Entry e{reader.ReadI32(), reader.ReadI32()};
        table[ctx.keyed ? static_cast<size_t>(order[i]) : i] = e;
    }
    auto blockRect = [&](int64_t n) {
        const auto bx = static_cast<int32_t>(n % cols) * bw;
        const auto by = static_cast<int32_t>(n / cols) * bh;
        return TRect{bx, by, std::min(bx + bw, bitmap.Width()), std::min(by + bh, bitmap.Height())};
    };
    const int bits = bitmap.BitCount();
    for (int64_t n = 0; n < count; ++n) {
        const Entry e = table[static_cast<size_t>(n)];
        const TRect r = blockRect(n);
        if (e.a == -1) {
            const auto rowBytes = static_cast<size_t>(BlockRowBytes(bits, r.Width()));
            for (int32_t y = r.Top; y < r.Bottom; ++y) {
                const std::span<const uint8_t> row = reader.ReadBytes(rowBytes);
                if (bits >= 8) {
                    std::memcpy(bitmap.PixelAddress(r.Left, y), row.data(), rowBytes);
                    continue;
                }
                for (int32_t x = 0; x < r.Width(); ++x) {
                    const uint32_t v = bits == 1
                                           ? (row[static_cast<size_t>(x / 8)] >> (7 - x % 8)) & 1u
                                       : (x & 1) ? row[static_cast<size_t>(x / 2)] & 0x0Fu
                                                 : row[static_cast<size_t>(x / 2)] >> 4;
                    bitmap.SetPixel(r.Left + x, y, v);
                }
            }
        } else if (e.a == -2) {
            if (e.b < 0 || e.b >= n) ThrowBadData(ctx.source, "block refers to a later block");
            const TRect from = blockRect(e.b);
            CopyArea(bitmap, r.Left, r.Top, bitmap, from.Left, from.Top,
                     std::min(r.Width(), from.Width()), std::min(r.Height(), from.Height()));
        } else if (e.a >= 0) {
            const TDIBSurface& other = ReferencedBitmap(ctx, e.a, e.b, mask, bitmap);
            if (r.Right > other.Width() || r.Bottom > other.Height()) {
                ThrowBadData(ctx.source, "block refers outside its layer");
            }
            CopyArea(bitmap, r.Left, r.Top, other, r.Left, r.Top, r.Width(), r.Height());
        } else {
            ThrowBadData(ctx.source, "bad block table entry");
        }
    }
}

// Decodes the data of one bitmap (colour data, or a mask when mask is set) into bitmap,
// which already has its size, depth and colour table.
void DecodeBitmapData(const DataContext& ctx, std::span<const uint8_t> stored, TDIBSurface& bitmap,
                      bool mask) {
    if (ctx.encoding == GaleEncoding::Jpeg && !mask) {
        TDIBSurface picture = DecodeJpeg(stored, ctx.source, bitmap.Width(), bitmap.Height());
        if (picture.Width() != bitmap.Width() || picture.Height() != bitmap.Height()) {
            ThrowBadData(ctx.source, "JPEG layer does not match the frame size");
        }
        const int bits = bitmap.BitCount();
        if (bits <= 8) {
            // Map the decoded colours onto the frame's own colour table.
            TDIBSurface mapped(bitmap.Width(), bitmap.Height(), bits);
            mapped.Palette() = bitmap.Palette();
            mapped.Draw(0, 0, picture);
            picture = std::move(mapped);
        } else {
            picture.Convert(bits);
        }
        // Only the pixels change hands: the target keeps its colour table and mask.
        if (!bitmap.SwapPixels(picture)) bitmap.Copy(0, 0, picture.ClientRect(), picture);
        return;
    }
    const bool blocks = ctx.version >= 103 && ctx.blockWidth > 0 && ctx.blockHeight > 0;
    const bool permuted = ctx.version < 103 || (ctx.keyed && ctx.encoding != GaleEncoding::Jpeg);
    if (ctx.encoding == GaleEncoding::Zlib && !blocks && !permuted) {
        // Rows in order inflate straight into the bitmap.
        if (InflateInto(stored, bitmap.Bits(), ctx.source) != bitmap.Bits().size()) {
            ThrowBadData(ctx.source, "pixel data is too short");
        }
        return;
    }
    std::vector<uint8_t> inflated;
    std::span<const uint8_t> data = stored;
    if (ctx.encoding != GaleEncoding::Raw) {
        inflated = Inflate(stored, MaxDecodedSize(ctx, bitmap), ctx.source);
        data = inflated;
    }
    if (ctx.version < 103) {
        ReadRows(ctx, data, bitmap, true, kLegacyGaleRowSeed);
    } else if (ctx.blockWidth > 0 && ctx.blockHeight > 0) {
        ReadBlocks(ctx, data, bitmap, mask);
    } else {
        ReadRows(ctx, data, bitmap, ctx.keyed && ctx.encoding != GaleEncoding::Jpeg, ctx.code);
    }
}

std::vector<TRect> ReadRects(ByteReader& reader) {
    const int32_t count = reader.ReadI32();
    std::vector<TRect> rects;
    if (count < 0) return rects;
    if (static_cast<uint64_t>(count) * 16 > reader.Remaining())
        reader.Fail("rectangle count too large");
    rects.resize(static_cast<size_t>(count));
    for (TRect& r : rects)
        r = {reader.ReadI32(), reader.ReadI32(), reader.ReadI32(), reader.ReadI32()};
    return rects;
}

// True when a layer without a mask, or whose mask plays no part, is copied over the whole
// frame: it has no key (or it is the first visible layer of a file whose first layer is
// opaque) and it is fully opaque.
bool CoversFrame(const TGaleLayer& layer, bool first, bool firstLayerOpaque) {
    return (layer.TransparentValue < 0 || (first && firstLayerOpaque)) && layer.Opacity > 254;
}

// Composes a freshly read layer onto its frame's bitmap. When no later layer can refer to
// this one (files without blocks), a layer that covers the frame gives up its pixels instead
// of being copied.
void ComposeLayer(TGaleFrame& frame, TGaleLayer& layer, size_t index, bool first,
                  bool firstLayerOpaque, bool mayTake) {
    TDIBSurface& target = frame.Bitmap;
    auto copyWhole = [&] {
        if (!(mayTake && target.SwapPixels(layer.Bitmap))) {
            target.Copy(0, 0, layer.Bitmap.ClientRect(), layer.Bitmap);
        }
    };
    const bool masked = layer.Bitmap.HasMask() && layer.AlphaFlag;
    if (masked && index == 0) {
        copyWhole();
        TDIBSurface& mask = *layer.Bitmap.Mask();
        if (!(mayTake && target.CreateMask().SwapPixels(mask))) target.CopyMaskFrom(mask);
    } else if (masked) {
        target.DrawMask(0, 0, layer.Opacity, layer.Bitmap.ClientRect(), layer.Bitmap);
    } else if (CoversFrame(layer, first, firstLayerOpaque)) {
        copyWhole();
    } else {
        target.DrawAlpha(0, 0, layer.Opacity, layer.TransparentValue, layer.Bitmap.ClientRect(),
                         layer.Bitmap);
    }
}

}  // namespace

// ---- Reading ----------------------------------------------------------------------------------

void TGaleFrameList::LoadFromBytes(std::span<const uint8_t> data, const std::string& source,
                                   bool firstOnly) {
    Frames.clear();
    ByteReader reader(data, source);
    Version = 0;
    if (data.size() >= 7 && std::memcmp(data.data(), "Gale", 4) == 0) {
        for (int i = 4; i < 7; ++i) {
            if (data[static_cast<size_t>(i)] < '0' || data[static_cast<size_t>(i)] > '9') {
                ThrowBadData(source, "bad GAL version");
            }
            Version = Version * 10 + (data[static_cast<size_t>(i)] - '0');
        }
        reader.Skip(7);
    }
    Keyed = false;
    Encoding = GaleEncoding::Zlib;
    BlockWidth = BlockHeight = 0;
    FirstLayerOpaque = false;
    BackgroundColor = 0;
    JpegQuality = 70;
    uint32_t frameCount = 0;
    if (Version < 103) {
        frameCount = reader.ReadCount(kMinFrameRecord);
        reader.Skip(1);
        if (Version == 102) BackgroundColor = reader.ReadU32();
    } else {
        const int32_t headerSize = reader.ReadI32();
        if (headerSize < kHeaderRecordSize ||
            static_cast<size_t>(headerSize) > reader.Remaining()) {
            reader.Fail("bad GAL header size");
        }
        const size_t headerEnd = reader.Position() + static_cast<size_t>(headerSize);
        reader.Skip(16);  // version and the size and depth of frame 0, repeated in the frame
        frameCount = reader.ReadCount(0);
        reader.Skip(1);
        Keyed = reader.ReadU8() == 1;
        const uint8_t encoding = reader.ReadU8();
        if (encoding > 2) reader.Fail("unknown GAL encoding");
        Encoding = static_cast<GaleEncoding>(encoding);
        reader.Skip(1);
        BackgroundColor = reader.ReadU32();
        BlockWidth = reader.ReadI32();
        BlockHeight = reader.ReadI32();
        if (BlockWidth < 0 || BlockHeight < 0) reader.Fail("bad GAL block size");
        const uint8_t firstOpaque = reader.ReadU8();
        FirstLayerOpaque = Version >= 105 && firstOpaque != 0;
        JpegQuality = reader.ReadU8();
        reader.Seek(headerEnd);
        if (frameCount > reader.Remaining() / kMinFrameRecord) reader.Fail("frame count too large");
    }
    if (firstOnly) frameCount = std::min<uint32_t>(frameCount, 1);

    // Layers live only while the file is read (later frames may refer to them); they go on
    // every way out, also when damaged data ends the reading.
    struct LayerRelease {
        std::vector<std::unique_ptr<TGaleFrame>>& frames;
        ~LayerRelease() {
            for (auto& frame : frames)
                frame->Layers.clear();
        }
    } release{Frames};
    int64_t loadBytes = 0;

    for (uint32_t f = 0; f < frameCount; ++f) {
        Frames.push_back(std::make_unique<TGaleFrame>());
        TGaleFrame& frame = *Frames.back();
        frame.Name = reader.ReadCountedString();
        frame.TransparentValue = reader.ReadI32();
        frame.Delay = reader.ReadI32();
        reader.Skip(5);
        const uint32_t layerCount = reader.ReadCount(kMinLayerRecord);
        frame.LayerCount = static_cast<int32_t>(layerCount);
        const int32_t width = reader.ReadI32();
        const int32_t height = reader.ReadI32();
        const int32_t bits = reader.ReadI32();
        if (!IsGaleBitCount(bits)) reader.Fail("bad GAL bit count");
        if (width <= 0 || height <= 0 || !TDIBSurface::SizeFits(width, height, bits)) {
            reader.Fail("bad GAL frame size");
        }
        const int64_t bitmapBytes = TDIBSurface::PitchFor(width, bits) * height;
        const int64_t maskBytes = TDIBSurface::PitchFor(width, 8) * height;
        auto spend = [&](int64_t bytes) {
            loadBytes += bytes;
            if (loadBytes > MaxLoadBytes) reader.Fail("GAL image needs too much memory");
        };
        spend(bitmapBytes);
        frame.Bitmap.SetSize(width, height, bits);
        if (bits <= 8) {
            const size_t entries = size_t{1} << bits;
            const std::span<const uint8_t> table = reader.ReadBytes(entries * 4);
            for (size_t i = 0; i < entries; ++i) {
                frame.Bitmap.Palette()[i] = {table[i * 4], table[i * 4 + 1], table[i * 4 + 2], 0};
            }
            if (frame.TransparentValue >= (1 << bits))
                reader.Fail("transparent index outside the palette");
        }
        if (frame.TransparentValue >= 0) {
            // The colour the key pixel shows, as the bitmap reports it.
            frame.TransparentColor = static_cast<int32_t>(
                frame.Bitmap.PixelToColor(static_cast<uint32_t>(frame.TransparentValue)));
        } else {
            frame.TransparentValue = -1;  // every negative value means none
        }
        // A new bitmap is all 0 already.
        const auto background =
            static_cast<uint32_t>(frame.Bitmap.ColorToPixel(BackgroundColor & 0xFFFFFF));
        if (background != 0) frame.Bitmap.Fill(background);

        bool seenVisible = false;
        for (uint32_t l = 0; l < layerCount; ++l) {
            auto layer = std::make_unique<TGaleLayer>();
            reader.Skip(8);
            layer->Visible = reader.ReadU8() != 0;
            layer->TransparentValue = reader.ReadI32();
            layer->Opacity = reader.ReadI32();
            if (Version >= 101) layer->AlphaFlag = reader.ReadU8() != 0;
            layer->Name = reader.ReadCountedString();
            const std::span<const uint8_t> colour = reader.ReadBytes(reader.ReadCount(1));
            std::span<const uint8_t> maskData;
            if (Version >= 100) {
                const int32_t maskLength = reader.ReadI32();
                if (maskLength > 0) maskData = reader.ReadBytes(static_cast<size_t>(maskLength));
            }
            if (layer->TransparentValue < -1 ||
                (bits <= 8 && layer->TransparentValue >= (1 << bits))) {
                reader.Fail("bad layer transparent value");
            }
            const DataContext ctx{source,     Version,     Encoding, Keyed, IdentificationCode,
                                  BlockWidth, BlockHeight, Frames,   f,     l};
            // A visible layer that covers the frame, and that no block of a later layer can
            // refer to, is decoded straight into the frame's bitmap: its own would only be
            // copied there and dropped.
            const bool mayTake = Version < 103 || BlockWidth <= 0 || BlockHeight <= 0;
            if (layer->Visible && mayTake && maskData.empty() &&
                CoversFrame(*layer, !seenVisible, FirstLayerOpaque)) {
                DecodeBitmapData(ctx, colour, frame.Bitmap, false);
                seenVisible = true;
                frame.Layers.push_back(std::move(layer));
                continue;
            }
            spend(bitmapBytes);
            layer->Bitmap.SetSize(width, height, bits);
            layer->Bitmap.Palette() = frame.Bitmap.Palette();
            DecodeBitmapData(ctx, colour, layer->Bitmap, false);
            if (!maskData.empty()) {
                spend(maskBytes * 2);  // the layer's mask and the one it may give the frame
                TDIBSurface& mask = layer->Bitmap.CreateMask();
                DecodeBitmapData(ctx, maskData, mask, true);
                layer->TransparentValue = -1;
            }
            if (layer->Visible) {
                ComposeLayer(frame, *layer, l, !seenVisible, FirstLayerOpaque, mayTake);
                seenVisible = true;
            }
            frame.Layers.push_back(std::move(layer));
        }
        if (Version >= 104) {
            frame.UpdateRects = ReadRects(reader);
            frame.ExtraRects = ReadRects(reader);
        }
    }
}

bool TGaleFrameList::IsKeyed(std::span<const uint8_t> data) {
    if (data.size() < 7 + 4 + 22 || std::memcmp(data.data(), "Gale", 4) != 0) return false;
    int version = 0;
    for (size_t i = 4; i < 7; ++i) {
        if (data[i] < '0' || data[i] > '9') return false;
        version = version * 10 + (data[i] - '0');
    }
    return version > 102 && data[7 + 4 + 21] == 1;
}

void TGaleFrameList::AssignPicture(TDIBSurface bitmap, int64_t transparentValue) {
    Frames.clear();
    auto frame = std::make_unique<TGaleFrame>();
    frame->Name = "Frame1";
    frame->Bitmap = std::move(bitmap);
    frame->LayerCount = 1;
    if (transparentValue >= 0) {
        frame->TransparentValue = static_cast<int32_t>(transparentValue);
        frame->TransparentColor = static_cast<int32_t>(
            frame->Bitmap.PixelToColor(static_cast<uint32_t>(transparentValue)));
    }
    Frames.push_back(std::move(frame));
}

namespace {

std::string LowerExtension(const std::filesystem::path& path) {
    return sjis::ToLowerAscii(path.extension().string());
}

bool IsPlayerPictureExtension(const std::string& extension) {
    return extension == ".gal" || extension == ".png" || extension == ".bmp" || extension == ".dib";
}

}  // namespace

void TGaleFrameList::LoadFromFile(const std::filesystem::path& path, bool firstOnly) {
    Frames.clear();
    const std::string extension = LowerExtension(path);
    if (IsPlayerPictureExtension(extension)) LoadPicture(path, extension, firstOnly);
}

void TGaleFrameList::LoadPictureFile(const std::filesystem::path& path) {
    Frames.clear();
    const std::string extension = LowerExtension(path);
    if (IsPlayerPictureExtension(extension) || extension == ".tga" || extension == ".jpg" ||
        extension == ".jpeg") {
        LoadPicture(path, extension, false);
    }
}

void TGaleFrameList::LoadPicture(const std::filesystem::path& path, const std::string& extension,
                                 bool firstOnly) {
    DecodePicture(host::ReadFileBytes(path), path.string(), extension, firstOnly);
}

void TGaleFrameList::LoadPlayerPicture(std::span<const uint8_t> bytes, const std::string& source,
                                       bool firstOnly) {
    Frames.clear();
    const std::string extension = LowerExtension(std::filesystem::path(source));
    if (IsPlayerPictureExtension(extension)) DecodePicture(bytes, source, extension, firstOnly);
}

void TGaleFrameList::DecodePicture(std::span<const uint8_t> bytes, const std::string& source,
                                   const std::string& extension, bool firstOnly) {
    if (extension == ".gal") {
        LoadFromBytes(bytes, source, firstOnly);
    } else if (IsPng(bytes)) {
        PngPicture picture = DecodePng(bytes, source);
        AssignPicture(std::move(picture.Bitmap), picture.TransparentValue);
    } else if (IsBmp(bytes)) {
        TDIBSurface bitmap = DecodeBmp(bytes, source);
        // The fourth byte of a 32-bit bitmap is its alpha.
        bitmap.MoveAlphaIntoMask();
        AssignPicture(std::move(bitmap), -1);
    } else if (IsJpeg(bytes)) {
        AssignPicture(DecodeJpeg(bytes, source), -1);
    } else if (extension == ".tga") {
        TgaPicture picture = DecodeTga(bytes, source, true);
        AssignPicture(std::move(picture.Bitmap), picture.TransparentValue);
    } else {
        ThrowBadData(source, "unrecognised picture format");
    }
}

// ---- Writing ----------------------------------------------------------------------------------

namespace {

std::vector<uint8_t> StoredRows(const TDIBSurface& bitmap, bool keyed, int32_t code) {
    const std::span<const uint8_t> bits = bitmap.Bits();
    if (!keyed) return {bits.begin(), bits.end()};
    const auto pitch = static_cast<size_t>(bitmap.Pitch());
    std::vector<uint8_t> out(bits.size());
    const std::vector<int32_t> order = KeyedOrder(code, bitmap.Height());
    for (size_t i = 0; i < order.size(); ++i) {
        std::memcpy(out.data() + i * pitch, bitmap.ScanLine(order[i]), pitch);
    }
    return out;
}

void WriteData(ByteWriter& w, std::span<const uint8_t> data) {
    w.WriteI32(static_cast<int32_t>(data.size()));
    w.WriteBytes(data);
}

// The depth a bitmap is written at: there is no 2-bit layout in the file.
int WidenedBitCount(const TDIBSurface& bitmap) {
    return bitmap.BitCount() == 2 ? 4 : bitmap.BitCount();
}

}  // namespace

std::vector<uint8_t> TGaleFrameList::SaveToBytes(GaleEncoding encoding, int jpegQuality) const {
    const bool keyed = IdentificationCode != 0;
    if (keyed) encoding = GaleEncoding::Raw;
    ByteWriter w;
    // The magic goes byte by byte: GCC 12 at -O3 takes a range insert into the still empty
    // buffer for an overflow (a false stringop-overflow warning).
    for (const char c : {'G', 'a', 'l', 'e', '1', '0', '6'})
        w.WriteU8(static_cast<uint8_t>(c));
    w.WriteI32(kHeaderRecordSize);
    const TDIBSurface* first = Frames.empty() ? nullptr : &Frames.front()->Bitmap;
    w.WriteI32(kWrittenVersion);
    w.WriteI32(first ? first->Width() : 0);
    w.WriteI32(first ? first->Height() : 0);
    w.WriteI32(first ? WidenedBitCount(*first) : 0);
    w.WriteI32(static_cast<int32_t>(Frames.size()));
    w.WriteU8(1);
    w.WriteU8(keyed ? 1 : 0);
    w.WriteU8(static_cast<uint8_t>(encoding));
    w.WriteU8(0);
    w.WriteU32(BackgroundColor);
    w.WriteI32(0);
    w.WriteI32(0);
    w.WriteU8(FirstLayerOpaque ? 1 : 0);
    w.WriteU8(static_cast<uint8_t>(std::clamp(jpegQuality, 1, 100)));
    w.WriteU16(0);
    for (size_t f = 0; f < Frames.size(); ++f) {
        const TGaleFrame& frame = *Frames[f];
        const TDIBSurface widened =
            frame.Bitmap.BitCount() == 2 ? WidenedForFiles(frame.Bitmap) : TDIBSurface();
        const TDIBSurface& bitmap = frame.Bitmap.BitCount() == 2 ? widened : frame.Bitmap;
        w.WriteCountedString("Frame" + std::to_string(f + 1));
        // The key is stored as the pixel value it is compared with, not as a colour.
        w.WriteI32(frame.TransparentValue);
        w.WriteI32(frame.Delay);
        w.WriteU8(2);
        w.WriteI32(0);
        w.WriteI32(1);
        w.WriteI32(bitmap.Width());
        w.WriteI32(bitmap.Height());
        w.WriteI32(bitmap.BitCount());
        for (int i = 0; i < bitmap.PaletteSize(); ++i) {
            const PaletteEntry& e = bitmap.Palette()[static_cast<size_t>(i)];
            const uint8_t entry[] = {e.Blue, e.Green, e.Red, 0};
            w.WriteBytes(entry);
        }
        w.WriteI32(0);
        w.WriteI32(0);
        w.WriteU8(1);
        w.WriteI32(-1);
        w.WriteI32(255);
        w.WriteU8(bitmap.HasMask() ? 1 : 0);
        w.WriteCountedString("Layer");
        switch (encoding) {
            case GaleEncoding::Raw:
                WriteData(w, StoredRows(bitmap, keyed, IdentificationCode));
                break;
            case GaleEncoding::Zlib:
                WriteData(w, Deflate(bitmap.Bits()));
                break;
            case GaleEncoding::Jpeg:
                WriteData(w, EncodeJpeg(bitmap, jpegQuality));
                break;
        }
        if (!bitmap.HasMask()) {
            w.WriteI32(0);
        } else if (encoding == GaleEncoding::Raw) {
            WriteData(w, StoredRows(*bitmap.Mask(), keyed, IdentificationCode));
        } else {
            WriteData(w, Deflate(bitmap.Mask()->Bits()));
        }
        w.WriteI32(0);
        w.WriteI32(0);
    }
    return w.Take();
}

void TGaleFrameList::SaveToFile(const std::filesystem::path& path, GaleEncoding encoding) const {
    host::WriteFileBytes(path, SaveToBytes(encoding, 70));
}

// ---- Frames -----------------------------------------------------------------------------------

void TGaleFrame::MakeMask() {
    if (Bitmap.HasMask()) return;
    TDIBSurface& mask = Bitmap.CreateMask();
    for (int32_t y = 0; y < Bitmap.Height(); ++y) {
        uint8_t* row = mask.ScanLine(y);
        for (int32_t x = 0; x < Bitmap.Width(); ++x) {
            const bool clear = TransparentValue >= 0 &&
                               Bitmap.GetPixel(x, y) == static_cast<uint32_t>(TransparentValue);
            row[x] = clear ? 0 : 255;
        }
    }
}

void TGaleFrameList::MakeMasks() {
    for (auto& frame : Frames)
        frame->MakeMask();
}

TRect TGaleFrame::Trim() {
    TRect bounds;
    if (Bitmap.HasMask()) {
        bounds = Bitmap.Mask()->OpaqueBounds(0);
    } else if (TransparentValue >= 0) {
        bounds = Bitmap.OpaqueBounds(TransparentValue);
    } else {
        return Bitmap.ClientRect();
    }
    if (bounds.IsEmpty())
        bounds = {0, 0, std::min(Bitmap.Width(), 1), std::min(Bitmap.Height(), 1)};
    if (bounds != Bitmap.ClientRect()) Bitmap.Crop(bounds);
    auto move = [&](std::vector<TRect>& rects) {
        std::vector<TRect> kept;
        for (const TRect& r : rects) {
            const TRect inside = Intersect(r, bounds);
            if (!inside.IsEmpty())
                kept.push_back({inside.Left - bounds.Left, inside.Top - bounds.Top,
                                inside.Right - bounds.Left, inside.Bottom - bounds.Top});
        }
        rects = std::move(kept);
    };
    move(UpdateRects);
    move(ExtraRects);
    return bounds;
}

// ---- Handing frames to surfaces ---------------------------------------------------------------

void CopyFrameToSurface(const TGaleFrame& frame, TCustomDIBX& surface) {
    const TDIBSurface& bitmap = frame.Bitmap;
    const int bits = surface.BitCount() > 0 ? surface.BitCount() : 32;
    surface.SetSize(bitmap.Width(), bitmap.Height(), bits);
    if (bitmap.IsEmpty()) return;
    const bool wide =
        surface.BitCount() == 32 && (bitmap.BitCount() == 24 || bitmap.BitCount() == 32);
    if (wide) {
        const int step = bitmap.BytesPerPixel();
        for (int32_t y = 0; y < bitmap.Height(); ++y) {
            uint8_t* out = surface.PixelAddress(0, y);
            if (!out) break;
            const uint8_t* in = bitmap.ScanLine(y);
            for (int32_t x = 0; x < bitmap.Width(); ++x, in += step, out += 4) {
                out[0] = in[0], out[1] = in[1], out[2] = in[2], out[3] = 0;
            }
        }
        surface.EndAccess();
        return;
    }
    for (int32_t y = 0; y < bitmap.Height(); ++y) {
        for (int32_t x = 0; x < bitmap.Width(); ++x) {
            const auto colour = static_cast<int32_t>(bitmap.PixelToColor(bitmap.GetPixel(x, y)));
            surface.SetPixel(x, y, surface.ColorToPixel(colour));
        }
    }
}

void CopyMaskToSurface(const TGaleFrame& frame, TCustomDIBX& surface) {
    const TDIBSurface* mask = frame.Bitmap.Mask();
    if (!mask) return;
    surface.SetSize(mask->Width(), mask->Height(), 8);
    for (int32_t y = 0; y < mask->Height(); ++y) {
        uint8_t* out = surface.PixelAddress(0, y);
        if (!out) break;
        std::memcpy(out, mask->ScanLine(y), static_cast<size_t>(mask->Width()));
    }
    surface.EndAccess();
}

void CopyMaskToBitmap(const TGaleFrame& frame, TDIBSurface& bitmap) {
    const TDIBSurface* mask = frame.Bitmap.Mask();
    if (!mask) return;
    bitmap.SetSize(mask->Width(), mask->Height(), 8);
    std::memcpy(bitmap.Bits().data(), mask->Bits().data(), mask->Bits().size());
}

}  // namespace kivo
