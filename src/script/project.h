#pragma once
// The running game: the settings of kivo.kpb, the installation check, the availability of
// files across the installed data and the data discs, and the interpreter that runs the pages.
// The shell creates one project after the scene, runs it once per frame and closes it at
// shutdown; a project whose start-up failed has told the person why and left the quit request
// set.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/player_state.h"
#include "platform/dialogs.h"
#include "platform/trace_sink.h"
#include "scene/object_handle.h"
#include "scene/timer_list.h"
#include "script/call_man.h"
#include "script/project_file.h"
#include "storage/vr_file_manager.h"

namespace kivo {

class SystemFunctionRegistry;
class TSaveManager;

// What a project works with; every part belongs to the shell and outlives the project.
struct ProjectServices {
    PlayerState& player;
    TVrFileManager& files;
    TParamCollection& variables;
    const SystemFunctionRegistry& functions;
    TTimerList& events;  // the scene root's event queue
    MessageDialogs& dialogs;
    TraceSink& trace;
    // What commands and system functions reach the world through.
    ScriptContext context;
    // Whether the player was started on game folders; the installation check runs only for a
    // player shipped beside its game.
    bool hasArguments = false;
    std::filesystem::path executableFolder;
    const ObjectDirectory* objects = nullptr;
    // Saved games and the status data; null for a project that keeps none.
    TSaveManager* saves = nullptr;
};

class TProject final : public ScriptHost, private TVrDiscPrompter, private SystemVariableProvider {
  public:
    // Runs the whole start-up: installation check, project file, start page. Failures are
    // shown as dialogs and leave the quit request set; Started() then answers false.
    explicit TProject(const ProjectServices& services);
    ~TProject() override;
    TProject(const TProject&) = delete;
    TProject& operator=(const TProject&) = delete;

    [[nodiscard]] bool Started() const {
        return interpreter_ != nullptr && !services_.player.quitRequest;
    }

    // Settings of the project file. The title is CP932.
    [[nodiscard]] const std::string& Title() const { return title_; }
    [[nodiscard]] int32_t ScreenWidth() const { return file_.screenWidth; }
    [[nodiscard]] int32_t ScreenHeight() const { return file_.screenHeight; }
    [[nodiscard]] int32_t FullScreenWidth() const { return file_.fullScreenWidth; }
    [[nodiscard]] int32_t FullScreenHeight() const { return file_.fullScreenHeight; }
    [[nodiscard]] bool FramePacing() const { return framePacing_; }
    [[nodiscard]] bool SaveEnabled() const { return saveEnabled_; }
    [[nodiscard]] int32_t IdentificationCode() const { return file_.identificationCode; }
    [[nodiscard]] const std::string& RegistryKey() const { return file_.registryKey; }
    [[nodiscard]] const std::string& MediaExtensions() const { return mediaExtensions_; }
    [[nodiscard]] const TFolderDiskList& FolderDiscs() const { return folderDiscs_; }

    // The interpreter's run for this frame; called once per frame step.
    void RunFrame();
    // Serves the save or load requested this frame; true when a game was loaded (the frame
    // is then not drawn).
    [[nodiscard]] bool ServePendingSaveLoad();
    // Runs the exit page once and stores the status data; called once at shutdown.
    void Close();

    // The interpreter, null when start-up failed before it was made.
    [[nodiscard]] TCallMan* Interpreter() const { return interpreter_.get(); }

    // ---- ScriptHost ----

    [[nodiscard]] bool FileExists(std::string_view name) override {
        return services_.files.FileExists(name);
    }
    [[nodiscard]] bool FileAvailable(std::string_view name) override;
    [[nodiscard]] std::vector<uint8_t> LoadFile(std::string_view name) override;
    // The data tables not kept go; scene and backlog arrive with their own subsystems.
    void ResetWorld() override;

  private:
    void StartUp();
    [[nodiscard]] bool CheckInstallation();
    [[nodiscard]] bool FindDataDisc(const std::string& localTitle);
    void ApplyProjectFile(ProjectFile&& file);
    void ApplyOriginalDiscTable();
    void Warn(std::string_view text, std::string_view caption = "警告");
    [[nodiscard]] bool AskOkCancel(std::string_view caption, std::string_view text) override;
    [[nodiscard]] bool Unattended() override { return services_.dialogs.Unattended(); }

    // @Title, and @ScrWidth and @ScrHeight until the scene root serves them, from the project
    // file as soon as it is read.
    void ServeProjectVariables();
    [[nodiscard]] SystemValue Read(SystemVariable id, int32_t element) const override;

    ProjectServices services_;
    ProjectFile file_;
    std::string title_ = "情報";
    bool saveEnabled_ = true;
    bool framePacing_ = true;
    std::string mediaExtensions_ = "wav.wma.ogg";
    std::string discPrompt_ = "ディスク%dを入れてから[OK]をクリックしてください";
    std::string quitText_ = "終了します";
    TFolderDiskList folderDiscs_;
    std::unique_ptr<TCallMan> interpreter_;
    bool closed_ = false;
};

}  // namespace kivo
