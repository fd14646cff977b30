#pragma once
// Pictures served from memory to the image cache, made with the GAL fixture writer.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "scene/gale_collection.h"
#include "support/gal_builder.h"

namespace kivo::test {

class MemoryPictures final : public PictureFiles {
  public:
    std::optional<std::vector<uint8_t>> Load(std::string_view name) override {
        ++loads;
        const auto found = files.find(std::string(name));
        if (found == files.end()) return std::nullopt;
        return found->second;
    }
    int32_t IdentificationCode() const override { return 0; }

    // A picture of one colour (0xRRGGBB) in every frame, each of the given delay.
    void AddSolid(const std::string& name, int width, int height, uint32_t rgb, int frames = 1,
                  int32_t delay = 100) {
        GalFile file;
        for (int i = 0; i < frames; ++i) {
            file.frames.push_back(
                RgbFrame(width, height, std::vector<uint32_t>(size_t(width * height), rgb), delay));
        }
        files[name] = WriteGal(file);
    }
    void Add(const std::string& name, const GalFile& file) { files[name] = WriteGal(file); }

    std::map<std::string, std::vector<uint8_t>> files;
    int32_t loads = 0;
};

}  // namespace kivo::test
