#include "shell/project_pictures.h"

#include "shell/player.h"

namespace kivo {

namespace {

class ProjectPictures final : public PictureFiles {
  public:
    explicit ProjectPictures(Player& player) : player_(player) {}

    std::optional<std::vector<uint8_t>> Load(std::string_view name) override {
        TVrFileManager* files = player_.files.get();
        if (files == nullptr || !files->FileExists(name)) return std::nullopt;
        return files->Load(name);
    }
    int32_t IdentificationCode() const override {
        return player_.project != nullptr ? player_.project->IdentificationCode() : 0;
    }

  private:
    Player& player_;
};

}  // namespace

std::unique_ptr<PictureFiles> MakeProjectPictures(Player& player) {
    return std::make_unique<ProjectPictures>(player);
}

}  // namespace kivo
