#include "script/project.h"

#include <optional>
#include <system_error>

#include "base/error.h"
#include "base/sjis.h"
#include "script/save_manager.h"
#include "storage/db_manager.h"
#include "storage/install_data.h"
#include "storage/stream.h"

namespace kivo {

namespace {

constexpr std::string_view kProjectFileName = "kivo.kpb";
// A copy of the project file that an installer may leave to carry the original disc layout.
// The name is rooted; the loose-file folder refuses rooted names (nothing may reach outside the
// game folder), so there the file is looked up at the top of the game folder instead.
constexpr std::string_view kOriginalProjectFileName = "/original_kivo.kpb";
constexpr std::string_view kOriginalProjectFileInGameFolder = "original_kivo.kpb";
constexpr std::string_view kInstallFileName = "install.dat";
constexpr std::string_view kGameArchiveName = "game.dat";

constexpr std::string_view kInformationCaption = "情報";

// Message texts are written here in UTF-8; the player keeps its own texts in CP932.
std::string Cp932(std::string_view utf8) {
    return sjis::FromUtf8Lossy(utf8);
}

// A file of the game in a host folder, whatever the letter case it was copied with.
std::optional<std::filesystem::path> FindHostFile(const std::filesystem::path& folder,
                                                  std::string_view name) {
    return TVrLooseFolder(folder).Find(name);
}

}  // namespace

TProject::TProject(const ProjectServices& services)
    : services_(services),
      title_(Cp932("情報")),
      discPrompt_(Cp932("ディスク%dを入れてから[OK]をクリックしてください")),
      quitText_(Cp932("終了します")) {
    services_.files.SetDiscPrompter(this);
    try {
        StartUp();
    } catch (const KivoError& error) {
        // Damaged project data: the message names the file, and the game does not start.
        services_.player.quitRequest = true;
        Warn(error.what());
    }
}

TProject::~TProject() {
    services_.files.SetDiscPrompter(nullptr);
    if (services_.saves != nullptr) services_.saves->SetInterpreter(nullptr);
    interpreter_.reset();
    TParamCollection& variables = services_.variables;
    for (SystemVariable id :
         {SystemVariable::Title, SystemVariable::ScrWidth, SystemVariable::ScrHeight}) {
        if (variables.Provider(id) == this) variables.RegisterProvider(id, nullptr);
    }
}

void TProject::ServeProjectVariables() {
    TParamCollection& variables = services_.variables;
    variables.RegisterProvider(SystemVariable::Title, this);
    // The scene root, made before the project, owns the scene size; the project stands in for
    // it only where nothing serves the size yet.
    for (SystemVariable id : {SystemVariable::ScrWidth, SystemVariable::ScrHeight}) {
        if (variables.Provider(id) == nullptr) variables.RegisterProvider(id, this);
    }
}

SystemValue TProject::Read(SystemVariable id, int32_t /*element*/) const {
    if (id == SystemVariable::ScrWidth) return file_.screenWidth;
    if (id == SystemVariable::ScrHeight) return file_.screenHeight;
    return title_;
}

void TProject::Warn(std::string_view text, std::string_view caption) {
    (void)services_.dialogs.Show(text, caption, DialogIcon::Warning, DialogButtons::Ok);
}

bool TProject::AskOkCancel(std::string_view caption, std::string_view text) {
    return services_.dialogs.Show(text, caption, DialogIcon::Information,
                                  DialogButtons::OkCancel) == DialogAnswer::Ok;
}

void TProject::StartUp() {
    PlayerState& player = services_.player;
    // The request stays set unless every step below succeeds.
    player.quitRequest = true;

    // The save captions and the status data come first: project variables found in the
    // status data keep their stored values.
    if (services_.saves != nullptr) services_.saves->ReadStatusAndCaptions();

    if (!services_.hasArguments && !CheckInstallation()) return;

    TVrFileManager& files = services_.files;
    std::vector<uint8_t> bytes;
    if (files.FileExists(kProjectFileName)) bytes = files.Load(kProjectFileName);
    if (bytes.empty()) {
        Warn("プロジェクトがありません");
        return;
    }
    ProjectFile file = ProjectFile::Read(bytes, std::string(kProjectFileName));
    // A project of a newer editor is not started, without a word.
    if (!file.IsParsed()) return;
    ApplyProjectFile(std::move(file));

    player.quitRequest = false;
    ApplyOriginalDiscTable();
    InterpreterServices interpreterServices{player,
                                            services_.variables,
                                            services_.functions,
                                            services_.events,
                                            services_.dialogs,
                                            services_.trace,
                                            *this,
                                            services_.context,
                                            services_.objects};
    interpreter_ = std::make_unique<TCallMan>(interpreterServices);
    if (services_.saves != nullptr) services_.saves->SetInterpreter(interpreter_.get());

    if (!files.FileExists(file_.startPage)) {
        Warn("スタートページがありません");
        player.quitRequest = true;
        return;
    }
    interpreter_->Start(file_.startPage);
}

void TProject::ApplyProjectFile(ProjectFile&& file) {
    file_ = std::move(file);
    title_ = file_.title;
    saveEnabled_ = file_.saveEnabled != 0;
    if (services_.saves != nullptr) services_.saves->SetSaveEnabled(saveEnabled_);
    framePacing_ = file_.framePacing != 0;
    mediaExtensions_ = file_.mediaExtensions;
    discPrompt_ = file_.discPrompt;
    quitText_ = file_.quitText;
    folderDiscs_ = file_.folderDiscs;
    services_.files.SetDiscTexts({title_, title_, discPrompt_, quitText_});
    ServeProjectVariables();

    TParamCollection& variables = services_.variables;
    for (const ProjectVariable& stored : file_.variables) {
        // A variable that exists already (from the status data) keeps its value.
        TParamCollectionItem* variable = variables.DeclareProjectVariable(stored.name, stored.type);
        if (variable == nullptr) continue;
        TCustomParam& value = variable->Value();
        switch (static_cast<ValueType>(stored.type)) {
            case PT_INT:
                value.SetInteger(stored.intValue);
                break;
            case PT_FLOAT:
                value.SetFloat(stored.floatValue.ToExtended());
                break;
            case PT_BOOL:
                value.SetFlag(stored.flagByte != 0);
                break;
            case PT_STR:
                value.SetString(stored.text);
                break;
            case PT_NONE:
                break;
        }
    }
}

void TProject::ApplyOriginalDiscTable() {
    TVrFileManager& files = services_.files;
    std::string_view name = kOriginalProjectFileName;
    if (!files.FileExists(name)) name = kOriginalProjectFileInGameFolder;
    if (!files.FileExists(name)) return;
    std::vector<uint8_t> bytes = files.Load(name);
    if (std::optional<TFolderDiskList> table = ReadFolderDiscTable(bytes, std::string(name))) {
        folderDiscs_ = std::move(*table);
    }
}

// ---- Installation ---------------------------------------------------------------------------

bool TProject::CheckInstallation() {
    TVrFileManager& files = services_.files;
    const std::filesystem::path& exeFolder = services_.executableFolder;
    if (FindHostFile(exeFolder, kInstallFileName) && files.Folder().empty()) {
        files.SetFolder(exeFolder);
    }
    if (!files.FileExists(kInstallFileName)) {
        (void)services_.dialogs.Show("インストールし直してください", kInformationCaption,
                                     DialogIcon::Information, DialogButtons::Ok);
        return false;
    }
    TTpMemoryStream stream(files.Load(kInstallFileName), std::string(kInstallFileName));
    TInstallData install = TInstallData::Read(stream);
    bool allInstalled = install.allDataInstalled != 0;

    if (std::optional<std::filesystem::path> localArchive =
            FindHostFile(exeFolder, kGameArchiveName)) {
        (void)files.AddArchive(*localArchive);
        if (allInstalled) return true;
    } else if (allInstalled) {
        for (int32_t i = 0; i < files.Count(); ++i) {
            if (!files.Collection(i).ArchivePath().empty()) return true;
        }
    }

    // The rest of the data is on a disc: look for it until it is found or the person gives up.
    // The quit request is set all through start-up, so only a signal can break in here.
    const PlayerState& player = services_.player;
    while (player.quitSignal == nullptr || *player.quitSignal == 0) {
        if (FindDataDisc(install.projectTitle)) return true;
        const bool unattended = services_.dialogs.Unattended();
        DialogAnswer insert =
            services_.dialogs.Show("ディスクを入れてください", kInformationCaption,
                                   DialogIcon::Information, DialogButtons::OkCancel);
        // Nobody inserts a disc in an unattended run: an OK there cannot change anything, so
        // the next question is whether to quit.
        if (insert == DialogAnswer::Ok && !unattended) continue;
        DialogAnswer quit =
            services_.dialogs.Show(sjis::ToUtf8(quitText_), sjis::ToUtf8(title_),
                                   DialogIcon::Information, DialogButtons::OkCancel);
        if (quit == DialogAnswer::Ok) return false;
    }
    return false;
}

bool TProject::FindDataDisc(const std::string& localTitle) {
    TVrFileManager& files = services_.files;
    files.RefreshDiscRoots();
    for (const std::filesystem::path& root : files.DiscRoots()) {
        std::optional<std::filesystem::path> archive = FindHostFile(root, kGameArchiveName);
        std::optional<std::filesystem::path> record = FindHostFile(root, kInstallFileName);
        if (!archive || !record) continue;
        try {
            if (TInstallData::LoadFromFile(*record).projectTitle != localTitle) continue;
        } catch (const KivoError&) {
            continue;  // a damaged record is not our disc
        }
        (void)files.AddArchive(*archive);
        return true;
    }
    return false;
}

// ---- Running --------------------------------------------------------------------------------

void TProject::RunFrame() {
    if (interpreter_) interpreter_->RunFrame();
}

bool TProject::ServePendingSaveLoad() {
    return services_.saves != nullptr && services_.saves->ServePending();
}

void TProject::Close() {
    if (closed_) return;
    closed_ = true;
    PlayerState& player = services_.player;
    if (interpreter_ && !file_.exitPage.empty()) {
        player.quitRequest = false;
        try {
            interpreter_->Start(file_.exitPage);
            interpreter_->RunFrame();
        } catch (const std::exception&) {
            // The game is over either way; a broken exit page must not stop the shutdown.
        }
        player.quitRequest = true;
    }
    if (services_.saves != nullptr) {
        services_.saves->StoreStatus();
        services_.saves->SetInterpreter(nullptr);
    }
    interpreter_.reset();
}

// ---- Files ----------------------------------------------------------------------------------

bool TProject::FileAvailable(std::string_view name) {
    TVrFileManager& files = services_.files;
    if (files.FileExists(name)) return true;
    int32_t disc = folderDiscs_.DiscOf(name);
    if (disc == 0) return false;
    // Media files are never asked for: a missing sound must not stop the game for a disc.
    std::string lowerName = sjis::ToLowerAscii(name);
    size_t dot = sjis::FindLastChar(lowerName, '.');
    size_t delimiter = sjis::FindLastDelimiter(lowerName);
    std::string extension;
    if (dot != std::string::npos && (delimiter == std::string::npos || dot > delimiter)) {
        extension = lowerName.substr(dot);
    }
    std::string media = sjis::ToLowerAscii(mediaExtensions_) + ".";
    if (media.find(extension + ".") != std::string::npos) return false;
    return files.RequestDisk(disc, services_.player);
}

std::vector<uint8_t> TProject::LoadFile(std::string_view name) {
    return services_.files.Load(name);
}

void TProject::ResetWorld() {
    if (services_.context.tables) services_.context.tables->DeleteNonKept();
    if (MessageCommands* messages = services_.context.scene.Messages()) messages->ClearHistory();
}

}  // namespace kivo
