// Loading surfaces from BMP, PNG and GAL data, and saving them as BMP files.

#include <cstring>
#include <string>

#include "base/sjis.h"
#include "imaging/bmp_codec.h"
#include "imaging/dibx.h"
#include "imaging/gale_frame_list.h"
#include "imaging/png_codec.h"
#include "platform/host_files.h"

namespace kivo {

namespace {

bool HasBmpExtension(const std::filesystem::path& path) {
    return sjis::ToLowerAscii(path.extension().string()) == ".bmp";
}

bool StartsWith(std::span<const uint8_t> data, size_t offset, const char* text) {
    const size_t length = std::strlen(text);
    return data.size() >= offset + length && std::memcmp(data.data() + offset, text, length) == 0;
}

}  // namespace

bool TCustomDIBX::LoadFromStream(std::span<const uint8_t> data, int32_t identificationCode,
                                 const std::string& source) {
    // The picture reaches the surface the way a GAL frame does: sized at the surface's own bit
    // count and copied through its colours.
    TGaleFrame frame;
    if (StartsWith(data, 0, "BM")) {
        frame.Bitmap = DecodeBmp(data, source);
    } else if (StartsWith(data, 1, "PNG")) {
        frame.Bitmap = DecodePng(data, source).Bitmap;
    } else if (StartsWith(data, 0, "Gale")) {
        TGaleFrameList list(identificationCode);
        list.LoadFromBytes(data, source, true);
        if (list.Count() == 0) return false;
        frame.Bitmap = std::move(list[0].Bitmap);
    } else {
        return false;
    }
    frame.Bitmap.FreeMask();
    CopyFrameToSurface(frame, *this);
    return true;
}

void TCustomDIBX::LoadFromFile(const std::filesystem::path& path) {
    std::error_code error;
    if (!HasBmpExtension(path) || !std::filesystem::is_regular_file(path, error)) return;
    LoadFromStream(host::ReadFileBytes(path), 0, path.string());
}

void TCustomDIBX::SaveToFile(const std::filesystem::path& path) const {
    if (!HasBmpExtension(path) || IsEmpty()) return;
    TDIBSurface bitmap;
    if (const auto* memory = dynamic_cast<const TDIBX*>(this)) {
        // A memory surface converts through its own format and colour table.
        bitmap = memory->Bitmap();
        bitmap.FreeMask();
        bitmap.Convert(24);
    } else {
        bitmap.SetSize(Width(), Height(), 24);
        for (int32_t y = 0; y < Height(); ++y) {
            for (int32_t x = 0; x < Width(); ++x)
                bitmap.SetPixel(x, y, GetPixel(x, y) & 0x00FFFFFF);
        }
    }
    host::WriteFileBytes(path, EncodeBmp(bitmap));
}

}  // namespace kivo
