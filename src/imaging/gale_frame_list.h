#pragma once
// GAL images: the player's own animation container. A file holds frames; each frame is a
// stack of layers (bitmap, optional 8-bit mask, opacity, colour key) whose pixel data may be
// zlib- or JPEG-compressed, cut into reusable blocks and permuted under the project's
// identification code. Reading composes every frame's layers into one bitmap (plus mask) and
// then lets the layers go, so an animation in memory costs one bitmap per frame. The writer
// produces single-layer files.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/rect.h"
#include "imaging/dib_surface.h"

namespace kivo {

class TCustomDIBX;
class TGaleFrame;

// The seed of the row order of files older than version 103, shared by their reader and
// writer.
inline constexpr int32_t kLegacyGaleRowSeed = 0x4B69766F;

// Pixel data encodings of the header.
enum class GaleEncoding : uint8_t {
    Zlib = 0,
    Raw = 1,
    Jpeg = 2,  // JPEG colour data, zlib-compressed masks
};

class TGaleLayer {
  public:
    TDIBSurface Bitmap;  // with Mask when the layer has mask data
    bool Visible = true;
    int32_t TransparentValue = -1;
    int32_t Opacity = 255;
    bool AlphaFlag = false;  // the mask takes part in composition
    std::string Name;
};

class TGaleFrame {
  public:
    // The composed picture, with its Mask when a layer supplied one.
    TDIBSurface Bitmap;
    // The layers while the file is read; released once every frame is composed.
    std::vector<std::unique_ptr<TGaleLayer>> Layers;
    // How many layers the file gave the frame (kept after the layers are released).
    int32_t LayerCount = 0;
    int32_t Delay = 100;
    // The pixel value (palette index at 8 bits and fewer) that counts as transparent, -1 none.
    int32_t TransparentValue = -1;
    // That pixel's colour 0x00BBGGRR, -1 none.
    int32_t TransparentColor = -1;
    std::string Name;
    std::vector<TRect> UpdateRects;
    std::vector<TRect> ExtraRects;

    // Gives a frame without a mask one: 255 everywhere, 0 where the pixel is TransparentValue.
    void MakeMask();
    // Crops the frame to its non-transparent pixels (by the mask, else by TransparentValue;
    // with neither nothing is cut) and moves the rectangle lists along. Returns the kept
    // rectangle in the old coordinates; its top-left corner is the drawing offset.
    TRect Trim();
};

class TGaleFrameList {
  public:
    explicit TGaleFrameList(int32_t identificationCode = 0)
        : IdentificationCode(identificationCode) {}

    std::vector<std::unique_ptr<TGaleFrame>> Frames;
    uint32_t BackgroundColor = 0;
    int32_t Version = 0;
    int32_t IdentificationCode = 0;
    bool FirstLayerOpaque = false;
    // Header facts kept for tools and for writing the file again.
    bool Keyed = false;
    GaleEncoding Encoding = GaleEncoding::Raw;
    int32_t BlockWidth = 0;
    int32_t BlockHeight = 0;
    int JpegQuality = 70;
    // The most pixel memory (frames, layers and masks together) one file may make the reader
    // allocate; a small compressed file must not be able to ask for more.
    int64_t MaxLoadBytes = int64_t{2} << 30;

    [[nodiscard]] size_t Count() const { return Frames.size(); }
    [[nodiscard]] TGaleFrame& operator[](size_t i) { return *Frames.at(i); }
    [[nodiscard]] const TGaleFrame& operator[](size_t i) const { return *Frames.at(i); }

    // Reads a GAL file held in memory; source names it in errors. With firstOnly at most one
    // frame is read. Damaged data raises KivoError; the frames read before it stay.
    void LoadFromBytes(std::span<const uint8_t> data, const std::string& source,
                       bool firstOnly = false);
    // The player's reader, by extension: ".gal", ".png", ".bmp"/".dib" (one frame); other
    // names give an empty list, as games expect.
    void LoadFromFile(const std::filesystem::path& path, bool firstOnly = false);
    // The player's reader over bytes already read (from the virtual files): source is the
    // file's name, which chooses the format by its extension and names it in errors.
    void LoadPlayerPicture(std::span<const uint8_t> bytes, const std::string& source,
                           bool firstOnly = false);
    // The tools' reader: the same, and TGA and JPEG pictures as well.
    void LoadPictureFile(const std::filesystem::path& path);
    // Makes a one-frame list of a picture.
    void AssignPicture(TDIBSurface bitmap, int64_t transparentValue);

    // The file bytes: version 106, one layer per frame. Keyed (IdentificationCode non-zero)
    // files are always stored raw.
    [[nodiscard]] std::vector<uint8_t> SaveToBytes(GaleEncoding encoding,
                                                   int jpegQuality = 70) const;
    // Writes the file through a temporary beside it, zlib-encoded unless keyed.
    void SaveToFile(const std::filesystem::path& path,
                    GaleEncoding encoding = GaleEncoding::Zlib) const;

    // True when the data is a GAL file of version 103 or later whose keyed flag is set.
    [[nodiscard]] static bool IsKeyed(std::span<const uint8_t> data);

    void MakeMasks();

  private:
    void LoadPicture(const std::filesystem::path& path, const std::string& extension,
                     bool firstOnly);
    void DecodePicture(std::span<const uint8_t> bytes, const std::string& source,
                       const std::string& extension, bool firstOnly);
};

// Hands a frame to a raster surface: the surface takes the frame's size at its own bit count
// (32 when it has none yet), then the pixels (24 and 32 bits widened or copied with the
// fourth byte 0, other depths through their colours). A surface holds pixels only: the
// caller keeps the frame's rectangle lists and its key (the surface's ColorToKey of the
// frame's TransparentColor) beside it and hands the key to each keyed draw.
void CopyFrameToSurface(const TGaleFrame& frame, TCustomDIBX& surface);
// When the frame has a mask, sizes the surface to it at 8 bits and copies the mask.
void CopyMaskToSurface(const TGaleFrame& frame, TCustomDIBX& surface);
// The same into a bitmap.
void CopyMaskToBitmap(const TGaleFrame& frame, TDIBSurface& bitmap);

}  // namespace kivo
