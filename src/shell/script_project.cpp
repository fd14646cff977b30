#include "shell/script_project.h"

#include "script/project.h"
#include "shell/player.h"

namespace kivo {

namespace {

class ScriptProject final : public GameProject {
  public:
    explicit ScriptProject(std::unique_ptr<TProject> project) : project_(std::move(project)) {}

    [[nodiscard]] std::string Title() const override { return project_->Title(); }
    [[nodiscard]] int32_t ScreenWidth() const override { return project_->ScreenWidth(); }
    [[nodiscard]] int32_t ScreenHeight() const override { return project_->ScreenHeight(); }
    [[nodiscard]] int32_t FullScreenWidth() const override { return project_->FullScreenWidth(); }
    [[nodiscard]] int32_t FullScreenHeight() const override { return project_->FullScreenHeight(); }
    [[nodiscard]] int32_t IdentificationCode() const override {
        return project_->IdentificationCode();
    }
    [[nodiscard]] bool FramePacing() const override { return project_->FramePacing(); }
    void RunFrame() override { project_->RunFrame(); }
    [[nodiscard]] bool ServePendingSaveLoad() override { return project_->ServePendingSaveLoad(); }
    [[nodiscard]] InterpreterPosition Position() const override {
        const TCallMan* interpreter = project_->Interpreter();
        return interpreter ? PositionOf(interpreter->State()) : InterpreterPosition{};
    }
    void Close() override { project_->Close(); }

  private:
    std::unique_ptr<TProject> project_;
};

}  // namespace

ProjectFactory ScriptProjectFactory() {
    return [](Player& player) -> std::unique_ptr<GameProject> {
        player.CreateSaves();
        const ScriptContext world = player.ScriptWorld();
        const ProjectServices services{player.state,
                                       *player.files,
                                       *player.variables,
                                       *player.functions,
                                       player.events,
                                       player.platform.dialogs,
                                       player.platform.trace,
                                       world,
                                       !player.Config().arguments.empty(),
                                       player.Config().executableFolder,
                                       &player.scene->Objects(),
                                       player.saves.get()};
        auto project = std::make_unique<TProject>(services);
        // A project that did not start is still the project: it keeps the title and size it
        // read, and the shell closes the window because the quit request is set.
        return std::make_unique<ScriptProject>(std::move(project));
    };
}

}  // namespace kivo
