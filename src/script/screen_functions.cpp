#include "script/screen_functions.h"

#include <algorithm>

#include "base/sjis.h"
#include "imaging/bmp_codec.h"
#include "imaging/gale_frame_list.h"
#include "script/function_arguments.h"
#include "script/script_context.h"
#include "storage/install_data.h"
#include "storage/vr_loose_folder.h"

namespace kivo {

namespace {

constexpr std::string_view kMemoryPrefix = "mem:";

void GetDisplayMode(const FunctionCall& call) {
    ScreenPort* screen = call.Context().screen;
    const std::optional<DisplayMode> mode =
        screen != nullptr ? screen->DisplayModeAt(IntArgument(call, 0)) : std::nullopt;
    if (!mode) return call.target.SetFlag(false);
    VariableArgument(call, 1).SetInteger(mode->width);
    VariableArgument(call, 2).SetInteger(mode->height);
    VariableArgument(call, 3).SetInteger(mode->bitCount);
    VariableArgument(call, 4).SetInteger(mode->refreshRate);
    call.target.SetFlag(true);
}

void SetWallPaper(const FunctionCall& call) {
    call.target.SetFlag(false);
    ScreenPort* screen = call.Context().screen;
    if (screen == nullptr) return;
    const std::string image = StringArgument(call, 0);
    TDIBSurface picture;
    if (image.empty()) {
        if (!call.Context().scene.CaptureLayer(false, picture)) return;
    } else if (!screen->LoadPicture(image, picture)) {
        return;
    }
    if (picture.IsEmpty()) return;
    picture.Convert(24);
    call.target.SetFlag(screen->SetWallPaper(EncodeBmp(picture), IntArgument(call, 1)));
}

bool HasGalExtension(std::string_view name) {
    constexpr std::string_view kExtension = ".gal";
    return name.size() >= kExtension.size() &&
           sjis::EqualsIgnoreCase(name.substr(name.size() - kExtension.size()), kExtension);
}

// Adds the picture's name to the installation record's file list, so that an uninstaller
// removes it with the game. The record is rewritten through a temporary file; without a record,
// or one too old to have the list, nothing changes, and a record we cannot read stays as it is.
void KeepWithInstallation(const std::filesystem::path& looseFolder, const std::string& name) {
    const std::optional<std::filesystem::path> record =
        TVrLooseFolder(looseFolder).Find("install.dat");
    if (!record) return;
    try {
        TInstallData data = TInstallData::LoadFromFile(*record);
        if (std::find(data.files.begin(), data.files.end(), name) != data.files.end()) return;
        if (data.AddFile(name)) data.SaveToFile(*record);
    } catch (const KivoError&) {
    }
}

void SaveScreen(const FunctionCall& call) {
    call.target.SetFlag(false);
    ScreenPort* screen = call.Context().screen;
    const std::string name = StringArgument(call, 0);
    if (screen == nullptr || !HasGalExtension(name)) return;
    const std::filesystem::path looseFolder = screen->LooseFolder();
    if (looseFolder.empty()) return;
    const bool back = HasArgument(call, 3) && FlagArgument(call, 3);
    TDIBSurface picture;
    if (!call.Context().scene.CaptureLayer(back, picture) || picture.IsEmpty()) return;

    int32_t width = HasArgument(call, 1) ? IntArgument(call, 1) : 0;
    int32_t height = HasArgument(call, 2) ? IntArgument(call, 2) : 0;
    if (width == 0) width = picture.Width();
    if (height == 0) height = picture.Height();
    if (width < 1 || height < 1) return;
    // A script's size must not make the player allocate without bound.
    if (int64_t{width} * height * 3 > kMaxSavedScreenBytes) return;
    picture.Convert(24);
    if (width != picture.Width() || height != picture.Height())
        picture.Resize(width, height, -1, true);

    TGaleFrameList gal;
    gal.AssignPicture(std::move(picture), -1);
    const bool inMemory =
        name.size() >= kMemoryPrefix.size() &&
        sjis::EqualsIgnoreCase(std::string_view(name).substr(0, kMemoryPrefix.size()),
                               kMemoryPrefix);
    std::optional<std::filesystem::path> path;
    bool writtenAside = false;
    if (inMemory) {
        screen->StoreMemoryEntry(name, gal.SaveToBytes(GaleEncoding::Raw, 70));
    } else {
        // Names that leave the folder are refused.
        const std::filesystem::path folder = screen->WriteFolder();
        if (folder.empty()) return;
        path = TVrLooseFolder(folder).PathForWrite(name);
        if (!path) return;
        gal.SaveToFile(*path);
        // The installation record lists files of the game's own folder only.
        if (folder != looseFolder) writtenAside = true;
    }
    screen->ForgetPicture(name);
    call.target.SetFlag(true);

    if (!path || !HasArgument(call, 4)) return;
    const int32_t keep = IntArgument(call, 4);
    if (keep == 1) {
        std::vector<std::string>& deletions = call.Context().player.pendingExitDeletions;
        const std::string full = path->string();
        if (std::find(deletions.begin(), deletions.end(), full) == deletions.end())
            deletions.push_back(full);
    } else if (keep == 2 && !writtenAside) {
        KeepWithInstallation(looseFolder, name);
    }
}

}  // namespace

void RegisterScreenFunctions(SystemFunctionRegistry& registry) {
    RegisterFunctions(registry, {
                                    {"GetDisplayMode", GetDisplayMode},
                                    {"SetWallPaper", SetWallPaper},
                                    {"SaveScreen", SaveScreen},
                                });
}

}  // namespace kivo
