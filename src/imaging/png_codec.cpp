#include "imaging/png_codec.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "base/error.h"

namespace kivo {

namespace {

// What libpng's callbacks share with us. libpng reports errors by calling ErrorFn, which
// records the text and jumps back to the setjmp of the stage that was running; no C++ object
// with a destructor lives in the frames that the jump leaves.
struct PngIo {
    std::span<const uint8_t> input;
    size_t position = 0;
    std::vector<uint8_t>* output = nullptr;
    char error[160] = "";
};

void ErrorFn(png_structp png, png_const_charp message) {
    auto* io = static_cast<PngIo*>(png_get_error_ptr(png));
    std::snprintf(io->error, sizeof io->error, "%s", message ? message : "PNG error");
    png_longjmp(png, 1);
}

void WarningFn(png_structp, png_const_charp) {}

void ReadFn(png_structp png, png_bytep out, size_t count) {
    auto* io = static_cast<PngIo*>(png_get_io_ptr(png));
    if (count > io->input.size() - io->position) png_error(png, "unexpected end of data");
    std::memcpy(out, io->input.data() + io->position, count);
    io->position += count;
}

void WriteFn(png_structp png, png_bytep data, size_t count) {
    auto* io = static_cast<PngIo*>(png_get_io_ptr(png));
    try {
        io->output->insert(io->output->end(), data, data + count);
    } catch (...) {
        png_error(png, "out of memory");
    }
}

void FlushFn(png_structp) {}

// Owns the libpng structures of one read or write.
class PngHandle {
  public:
    PngHandle(bool writing, PngIo& io) : writing_(writing) {
        png_ = writing ? png_create_write_struct(PNG_LIBPNG_VER_STRING, &io, ErrorFn, WarningFn)
                       : png_create_read_struct(PNG_LIBPNG_VER_STRING, &io, ErrorFn, WarningFn);
        if (png_) info_ = png_create_info_struct(png_);
        if (!png_ || !info_) throw KivoError("libpng could not start");
    }
    PngHandle(const PngHandle&) = delete;
    PngHandle& operator=(const PngHandle&) = delete;
    ~PngHandle() {
        if (writing_) {
            png_destroy_write_struct(&png_, &info_);
        } else {
            png_destroy_read_struct(&png_, &info_, nullptr);
        }
    }
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;

  private:
    bool writing_;
};

struct PngHeader {
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0;
    bool hasTrns = false;
};

bool ReadHeader(png_structp png, png_infop info, PngIo& io, PngHeader& h) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, &io, ReadFn);
    png_set_user_limits(png, TDIBSurface::kMaxDimension, TDIBSurface::kMaxDimension);
    png_set_chunk_malloc_max(png, 8u << 20);
    png_read_info(png, info);
    png_get_IHDR(png, info, &h.width, &h.height, &h.bitDepth, &h.colorType, nullptr, nullptr,
                 nullptr);
    h.hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    return true;
}

// Sets the transforms for the chosen layout and reads every row through rows.
bool ReadRows(png_structp png, png_infop info, png_bytepp rows, bool toRgba, bool palettised,
              int& channels) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_strip_16(png);
    png_set_interlace_handling(png);
    if (palettised) {
        png_set_packing(png);
        // This request expands palettes as well, so it is made for grey pictures only.
        if (png_get_color_type(png, info) == PNG_COLOR_TYPE_GRAY) {
            png_set_expand_gray_1_2_4_to_8(png);
        }
    } else {
        png_set_expand(png);
        png_set_gray_to_rgb(png);
        if (!toRgba) png_set_strip_alpha(png);
        png_set_bgr(png);
    }
    png_read_update_info(png, info);
    channels = png_get_channels(png, info);
    png_read_image(png, rows);
    // Reading to the end checks that the stream is whole.
    png_read_end(png, nullptr);
    return true;
}

bool WriteImage(png_structp png, png_infop info, PngIo& io, png_bytepp rows, png_uint_32 width,
                png_uint_32 height, int colorType, png_colorp palette, int paletteSize) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, &io, WriteFn, FlushFn);
    png_set_IHDR(png, info, width, height, 8, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, palette, paletteSize);
    png_write_info(png, info);
    if (colorType != PNG_COLOR_TYPE_PALETTE) png_set_bgr(png);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

}  // namespace

bool IsPng(std::span<const uint8_t> data) {
    return data.size() >= 8 && png_sig_cmp(data.data(), 0, 8) == 0;
}

PngPicture DecodePng(std::span<const uint8_t> data, const std::string& source) {
    if (!IsPng(data)) ThrowBadData(source, "not a PNG file");
    PngIo io;
    io.input = data;
    PngHandle handle(false, io);
    PngHeader h;
    if (!ReadHeader(handle.png_, handle.info_, io, h)) ThrowBadData(source, io.error);
    if (!TDIBSurface::SizeFits(h.width, h.height, 32)) ThrowBadData(source, "image too large");

    const int type = h.colorType;
    PngPicture picture;
    const bool palettised =
        (type == PNG_COLOR_TYPE_PALETTE || type == PNG_COLOR_TYPE_GRAY) && !h.hasTrns;
    const bool hasAlpha =
        (type & PNG_COLOR_MASK_ALPHA) != 0 || (h.hasTrns && type != PNG_COLOR_TYPE_RGB);
    const auto width = static_cast<int32_t>(h.width);
    const auto height = static_cast<int32_t>(h.height);
    TDIBSurface& bitmap = picture.Bitmap;
    bitmap.SetSize(width, height, palettised ? 8 : 24);
    if (type == PNG_COLOR_TYPE_PALETTE && palettised) {
        png_colorp palette = nullptr;
        int count = 0;
        png_get_PLTE(handle.png_, handle.info_, &palette, &count);
        bitmap.Palette() = {};
        for (int i = 0; i < count && i < 256; ++i) {
            bitmap.Palette()[static_cast<size_t>(i)] = {palette[i].blue, palette[i].green,
                                                        palette[i].red, 0};
        }
    } else if (type == PNG_COLOR_TYPE_RGB && h.hasTrns) {
        png_color_16p colour = nullptr;
        png_get_tRNS(handle.png_, handle.info_, nullptr, nullptr, &colour);
        if (colour) {
            const int shift = h.bitDepth == 16 ? 8 : 0;
            picture.TransparentValue = int64_t{(colour->red >> shift) & 0xFF} << 16 |
                                       int64_t{(colour->green >> shift) & 0xFF} << 8 |
                                       ((colour->blue >> shift) & 0xFF);
        }
    }

    // Rows with alpha are read into a work buffer and split into colour and mask; the others
    // are read straight into the bitmap.
    std::vector<uint8_t> work;
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    if (hasAlpha) {
        work.resize(static_cast<size_t>(width) * 4 * static_cast<size_t>(height));
        for (int32_t y = 0; y < height; ++y)
            rows[static_cast<size_t>(y)] =
                &work[static_cast<size_t>(y) * static_cast<size_t>(width) * 4];
    } else {
        for (int32_t y = 0; y < height; ++y)
            rows[static_cast<size_t>(y)] = bitmap.ScanLine(y);
    }
    int channels = 0;
    if (!ReadRows(handle.png_, handle.info_, rows.data(), hasAlpha, palettised, channels)) {
        ThrowBadData(source, io.error);
    }
    if (hasAlpha) {
        if (channels != 4) ThrowBadData(source, "unexpected PNG layout");
        TDIBSurface& mask = bitmap.CreateMask();
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* in = rows[static_cast<size_t>(y)];
            uint8_t* out = bitmap.ScanLine(y);
            uint8_t* alpha = mask.ScanLine(y);
            for (int32_t x = 0; x < width; ++x, in += 4, out += 3) {
                out[0] = in[0], out[1] = in[1], out[2] = in[2];
                alpha[x] = in[3];
            }
        }
    } else if (channels != (palettised ? 1 : 3)) {
        ThrowBadData(source, "unexpected PNG layout");
    }
    return picture;
}

std::vector<uint8_t> EncodePng(const TDIBSurface& bitmap) {
    std::vector<uint8_t> out;
    PngIo io;
    io.output = &out;
    const int32_t width = bitmap.Width(), height = bitmap.Height();
    if (width <= 0 || height <= 0) throw KivoError("cannot write an empty picture as PNG");
    const bool palette = bitmap.IsPalettised() && !bitmap.HasMask();
    const bool alpha = bitmap.HasMask();
    const int channels = palette ? 1 : alpha ? 4 : 3;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) *
                                static_cast<size_t>(channels));
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    const bool direct24 = bitmap.BitCount() == 24 || bitmap.BitCount() == 32;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = &pixels[static_cast<size_t>(y) * static_cast<size_t>(width) *
                               static_cast<size_t>(channels)];
        rows[static_cast<size_t>(y)] = row;
        const uint8_t* maskRow = alpha ? bitmap.Mask()->ScanLine(y) : nullptr;
        const uint8_t* src = bitmap.ScanLine(y);
        const int step = bitmap.BytesPerPixel();
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = row + static_cast<ptrdiff_t>(x) * channels;
            if (palette) {
                p[0] = static_cast<uint8_t>(bitmap.GetPixel(x, y));
                continue;
            }
            if (direct24) {
                const uint8_t* s = src + static_cast<ptrdiff_t>(x) * step;
                p[0] = s[0], p[1] = s[1], p[2] = s[2];
            } else {
                const uint32_t c = bitmap.PixelToColor(bitmap.GetPixel(x, y));
                p[0] = static_cast<uint8_t>(c >> 16), p[1] = static_cast<uint8_t>(c >> 8),
                p[2] = static_cast<uint8_t>(c);
            }
            if (alpha) p[3] = maskRow[x];
        }
    }
    png_color colours[256];
    const int paletteSize = palette ? bitmap.PaletteSize() : 0;
    for (int i = 0; i < paletteSize; ++i) {
        const PaletteEntry& e = bitmap.Palette()[static_cast<size_t>(i)];
        colours[i] = {e.Red, e.Green, e.Blue};
    }
    const int colorType = palette ? PNG_COLOR_TYPE_PALETTE
                          : alpha ? PNG_COLOR_TYPE_RGB_ALPHA
                                  : PNG_COLOR_TYPE_RGB;
    PngHandle handle(true, io);
    if (!WriteImage(handle.png_, handle.info_, io, rows.data(), static_cast<png_uint_32>(width),
                    static_cast<png_uint_32>(height), colorType, colours, paletteSize)) {
        throw KivoError(std::string("PNG writing failed: ") + io.error);
    }
    return out;
}

}  // namespace kivo
