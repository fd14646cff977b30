#pragma once
// Pictures for the controls' tests: named picture lists of solid pieces, so that which piece
// or which state a control draws shows as a colour at a pixel.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/error.h"
#include "imaging/dibx.h"
#include "scene/control_picture.h"
#include "scene/kivo_base_list.h"

namespace kivo::test {

// A picture list: every frame is width x height, cut into equal vertical pieces of the given
// script colours (one piece: a solid picture).
struct PictureSpec {
    int32_t width = 4;
    int32_t height = 4;
    std::vector<std::vector<int32_t>> frames;  // per frame, the colour of each piece
    int32_t time = 100;                        // ms per frame
};

class SolidPicture final : public ControlPicture {
  public:
    explicit SolidPicture(const PictureSpec& shape) : shape_(shape) {
        for (const std::vector<int32_t>& pieces : shape.frames) {
            auto surface = std::make_unique<TDIBX>(shape.width, shape.height, 32);
            const int32_t pieceWidth = shape.width / static_cast<int32_t>(pieces.size());
            for (int32_t y = 0; y < shape.height; ++y) {
                for (int32_t x = 0; x < shape.width; ++x) {
                    const size_t piece =
                        std::min<size_t>(static_cast<size_t>(x / pieceWidth), pieces.size() - 1);
                    surface->SetPixel(x, y, surface->ColorToPixel(pieces[piece]));
                }
            }
            surfaces_.push_back(std::move(surface));
        }
    }
    int32_t Width() const override { return shape_.width; }
    int32_t Height() const override { return shape_.height; }
    int32_t FrameCount() const override { return static_cast<int32_t>(surfaces_.size()); }
    PictureFrame Frame(int32_t index) const override {
        return {surfaces_.at(static_cast<size_t>(index)).get(), nullptr, {}, shape_.time};
    }

  private:
    PictureSpec shape_;
    std::vector<std::unique_ptr<TDIBX>> surfaces_;
};

class SolidPictures final : public ControlPictureSource {
  public:
    std::unique_ptr<ControlPicture> Acquire(std::string_view name) override {
        acquired.emplace_back(name);
        const auto found = specs.find(std::string(name));
        if (found == specs.end()) return nullptr;
        return std::make_unique<SolidPicture>(found->second);
    }

    std::map<std::string, PictureSpec> specs;
    std::vector<std::string> acquired;
};

// Saves the scene and loads the record into a new scene with the same pictures, which must
// read all of it and save the same bytes again. Every record cut short must fail cleanly.
inline std::unique_ptr<TKivoBaseList> RoundTrip(const TKivoBaseList& scene, PlayerState& state,
                                                ControlPictureSource& pictures) {
    ByteWriter writer;
    scene.Save(writer);
    const std::vector<uint8_t> bytes = writer.Take();
    auto copy = std::make_unique<TKivoBaseList>(state);
    copy->SetPictures(&pictures);
    ByteReader reader(bytes, "save.dat");
    copy->Load(reader, kSaveVersionCurrent);
    EXPECT_TRUE(reader.AtEnd());
    ByteWriter again;
    copy->Save(again);
    EXPECT_EQ(again.Take(), bytes);
    for (size_t cut : {bytes.size() - 1, bytes.size() - 20, bytes.size() - 40, bytes.size() / 2}) {
        TKivoBaseList broken{state};
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(cut));
        ByteReader partReader(part, "save.dat");
        EXPECT_THROW(broken.Load(partReader, kSaveVersionCurrent), KivoError) << cut;
    }
    return copy;
}

}  // namespace kivo::test
