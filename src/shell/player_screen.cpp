#include "shell/player_screen.h"

#include "base/error.h"
#include "imaging/gale_frame_list.h"
#include "imaging/ico_codec.h"
#include "platform/host_files.h"
#include "shell/player.h"

namespace kivo {

std::optional<CursorImage> DecodeCursor(std::span<const uint8_t> bytes, const std::string& source) {
    if (!IsIco(bytes)) return std::nullopt;
    try {
        IconPicture picture = DecodeIco(bytes, source, 0);
        TDIBSurface& bitmap = picture.Bitmap;
        if (bitmap.IsEmpty()) return std::nullopt;
        const TDIBSurface* mask = bitmap.Mask();
        CursorImage image;
        image.width = bitmap.Width();
        image.height = bitmap.Height();
        image.hotX = picture.HotspotX;
        image.hotY = picture.HotspotY;
        image.pixels.reserve(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
        for (int32_t y = 0; y < image.height; ++y) {
            for (int32_t x = 0; x < image.width; ++x) {
                const uint32_t color = bitmap.PixelToColor(bitmap.GetPixel(x, y));  // 0x00BBGGRR
                const uint32_t alpha = mask != nullptr ? mask->GetPixel(x, y) & 0xFF : 0xFF;
                image.pixels.push_back(alpha << 24 | (color & 0xFF) << 16 | (color & 0xFF00) |
                                       (color >> 16 & 0xFF));
            }
        }
        return image;
    } catch (const KivoError&) {
        return std::nullopt;
    }
}

void PlayerScreen::ShowCursor(std::string_view fileName) {
    DisplayDevice& display = player_.platform.display;
    std::optional<CursorImage> image;
    if (!fileName.empty() && player_.files && player_.files->FileExists(fileName)) {
        try {
            const std::vector<uint8_t> bytes = player_.files->Load(fileName);
            image = DecodeCursor(bytes, std::string(fileName));
        } catch (const KivoError&) {
            image.reset();
        }
    }
    display.ShowCursor(image ? &*image : nullptr);
}

void PlayerScreen::MovePointer(int32_t x, int32_t y) {
    player_.platform.display.MovePointer(x, y);
}

bool PlayerScreen::FullScreen() const {
    return player_.screen && player_.screen->FullScreen();
}

void PlayerScreen::SetFullScreen(bool fullScreen) {
    TScreenManager* screen = player_.screen.get();
    if (screen == nullptr || fullScreen == screen->FullScreen()) return;
    // Nothing suits full screen: the window stays as it is.
    if (fullScreen && screen->ChosenMode() < 0) return;
    screen->Release();
    screen->SetMode(fullScreen ? screen->ChosenMode() : TScreenManager::kModeWindowed);
}

int32_t PlayerScreen::DisplayModeCount() const {
    return player_.screen ? player_.screen->ModeCount() : 0;
}

int32_t PlayerScreen::DisplayModeIndex() const {
    return player_.screen ? player_.screen->ChosenMode() : -1;
}

void PlayerScreen::SetDisplayModeIndex(int32_t index) {
    TScreenManager* screen = player_.screen.get();
    if (screen == nullptr || !screen->ValidMode(index)) return;
    screen->SetChosenMode(index);
    if (screen->FullScreen() && screen->Mode() != index) {
        screen->Release();
        screen->SetMode(index);
    }
}

std::optional<DisplayMode> PlayerScreen::DisplayModeAt(int32_t index) const {
    return player_.screen ? player_.screen->ModeAt(index) : std::nullopt;
}

bool PlayerScreen::LoadPicture(std::string_view name, TDIBSurface& picture) {
    if (!player_.files || name.empty()) return false;
    try {
        const std::optional<TVrLocalFile> local = player_.files->GetLocalPath(name);
        if (!local) return false;
        TGaleFrameList frames;
        frames.LoadFromFile(local->Path(), true);
        if (frames.Count() == 0) return false;
        picture = std::move(frames[0].Bitmap);
        return !picture.IsEmpty();
    } catch (const KivoError&) {
        return false;
    }
}

bool PlayerScreen::SetWallPaper(std::span<const uint8_t> bitmapFile, int32_t mode) {
    return player_.platform.wallpaper.Set(bitmapFile, mode);
}

std::filesystem::path PlayerScreen::LooseFolder() const {
    if (!player_.files || player_.files->Folder().empty()) return {};
    return host::IsFolder(player_.files->Folder()) ? player_.files->Folder()
                                                   : std::filesystem::path();
}

std::filesystem::path PlayerScreen::WriteFolder() {
    const std::filesystem::path loose = LooseFolder();
    if (loose.empty()) return {};
    const std::filesystem::path folder =
        ChooseWriteFolder(loose, player_.ChosenSaveLocation().file);
    if (folder == loose) return loose;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) return {};
    player_.files->SetWrittenFolder(folder);
    return folder;
}

void PlayerScreen::StoreMemoryEntry(std::string_view name, std::vector<uint8_t> bytes) {
    if (!player_.files) return;
    TVrFile* entry = player_.files->FindEntry(name);
    if (entry == nullptr || !entry->IsMemoryEntry())
        entry = &player_.files->MemoryCollection().AddMemoryEntry(std::string(name));
    entry->memory->Clear();
    entry->memory->Write(bytes.data(), bytes.size());
}

void PlayerScreen::ForgetPicture(std::string_view name) {
    if (player_.files) player_.files->Remove(name);
    if (player_.scene) player_.scene->ForgetPicture(name);
}

}  // namespace kivo
