#include "imaging/jpeg_codec.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "base/error.h"

namespace kivo {

namespace {

// libjpeg's default error manager ends the process; ours records the message and jumps back
// to the stage that was running. No C++ object with a destructor lives between the setjmp and
// the libjpeg frames it leaves.
struct JpegError {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    char message[JMSG_LENGTH_MAX] = "";
};

void ErrorExit(j_common_ptr info) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, error->message);
    std::longjmp(error->jump, 1);
}

void OutputMessage(j_common_ptr) {}

bool ReadHeader(jpeg_decompress_struct& info, JpegError& error, std::span<const uint8_t> data) {
    if (setjmp(error.jump)) return false;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGR;
    return true;
}

bool ReadRows(jpeg_decompress_struct& info, JpegError& error, TDIBSurface& bitmap) {
    if (setjmp(error.jump)) return false;
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = bitmap.ScanLine(static_cast<int32_t>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

bool StartRead(jpeg_decompress_struct& info, JpegError& error) {
    if (setjmp(error.jump)) return false;
    jpeg_start_decompress(&info);
    return true;
}

bool Compress(jpeg_compress_struct& info, JpegError& error, unsigned char** buffer,
              unsigned long* size, const std::vector<uint8_t>& rgb, int width, int height,
              int quality) {
    if (setjmp(error.jump)) return false;
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, buffer, size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto* row = const_cast<JSAMPROW>(
            &rgb[static_cast<size_t>(info.next_scanline) * static_cast<size_t>(width) * 3]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return true;
}

}  // namespace

bool IsJpeg(std::span<const uint8_t> data) {
    return data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

TDIBSurface DecodeJpeg(std::span<const uint8_t> data, const std::string& source,
                       int32_t requiredWidth, int32_t requiredHeight) {
    if (!IsJpeg(data)) ThrowBadData(source, "not a JPEG stream");
    JpegError error;
    jpeg_decompress_struct info{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = ErrorExit;
    error.manager.output_message = OutputMessage;
    // Destroys the decompressor on every way out, thrown or returned.
    struct Guard {
        jpeg_decompress_struct* info;
        ~Guard() { jpeg_destroy_decompress(info); }
    } guard{&info};
    if (!ReadHeader(info, error, data)) ThrowBadData(source, error.message);
    if (!TDIBSurface::SizeFits(info.image_width, info.image_height, 24)) {
        ThrowBadData(source, "image too large");
    }
    if (requiredWidth >= 0 && (static_cast<int64_t>(info.image_width) != requiredWidth ||
                               static_cast<int64_t>(info.image_height) != requiredHeight)) {
        ThrowBadData(source, "JPEG picture does not have the expected size");
    }
    if (!StartRead(info, error)) ThrowBadData(source, error.message);
    if (info.output_components != 3) ThrowBadData(source, "unsupported JPEG colour layout");
    TDIBSurface bitmap(static_cast<int32_t>(info.output_width),
                       static_cast<int32_t>(info.output_height), 24);
    if (!ReadRows(info, error, bitmap)) ThrowBadData(source, error.message);
    return bitmap;
}

std::vector<uint8_t> EncodeJpeg(const TDIBSurface& bitmap, int quality) {
    const int width = bitmap.Width(), height = bitmap.Height();
    if (width <= 0 || height <= 0) throw KivoError("cannot write an empty picture as JPEG");
    std::vector<uint8_t> bgr(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    for (int y = 0; y < height; ++y) {
        uint8_t* out = &bgr[static_cast<size_t>(y) * static_cast<size_t>(width) * 3];
        if (bitmap.BitCount() == 24) {
            std::memcpy(out, bitmap.ScanLine(y), static_cast<size_t>(width) * 3);
            continue;
        }
        for (int x = 0; x < width; ++x, out += 3) {
            const uint32_t c = bitmap.PixelToColor(bitmap.GetPixel(x, y));
            out[0] = static_cast<uint8_t>(c >> 16);
            out[1] = static_cast<uint8_t>(c >> 8);
            out[2] = static_cast<uint8_t>(c);
        }
    }
    JpegError error;
    jpeg_compress_struct info{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = ErrorExit;
    error.manager.output_message = OutputMessage;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    struct Guard {
        jpeg_compress_struct* info;
        unsigned char** buffer;
        ~Guard() {
            jpeg_destroy_compress(info);
            std::free(*buffer);
        }
    } guard{&info, &buffer};
    if (!Compress(info, error, &buffer, &size, bgr, width, height, std::clamp(quality, 1, 100))) {
        throw KivoError(std::string("JPEG writing failed: ") + error.message);
    }
    return {buffer, buffer + size};
}

}  // namespace kivo
