#include "platform/wallpaper.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <iostream>
#include <system_error>

#include "base/error.h"
#include "platform/host_files.h"
#include "platform/trace_sink.h"

extern char** environ;

namespace kivo {

namespace {

std::filesystem::path UserDataFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/')
        return std::filesystem::path(data) / "kivoplay";
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != 0)
        return std::filesystem::path(home) / ".local" / "share" / "kivoplay";
    return {};
}

// Runs the program found through PATH with the arguments and waits for it; true when it ran
// and exited with status 0. No shell sees the arguments.
bool RunAndWait(std::vector<std::string> arguments, bool& started) {
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    started = posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) == 0;
    if (!started) return false;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::string WallpaperOption(int32_t mode) {
    if (mode == 0) return "centered";
    if (mode == 1) return "wallpaper";
    return "stretched";
}

bool DesktopWallpaper::Set(std::span<const uint8_t> bitmapFile, int32_t mode) {
    const std::filesystem::path folder = UserDataFolder();
    if (folder.empty()) return false;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::filesystem::path path = folder / "kivowall.bmp";
    try {
        host::WriteFileBytes(path, bitmapFile);
    } catch (const KivoError& failure) {
        std::cerr << "kivoplay: SetWallPaper: " << failure.what() << '\n';
        return false;
    }
    const std::string uri = "file://" + path.string();
    bool started = false;
    bool done = RunAndWait({"gsettings", "set", "org.gnome.desktop.background", "picture-uri", uri},
                           started);
    if (!started) {
        if (!toldMissing_) {
            std::cerr << "kivoplay: SetWallPaper: this desktop has no gsettings to set its "
                         "background; the picture is kept in "
                      << path.string() << '\n';
            toldMissing_ = true;
        }
        return false;
    }
    // Desktops with a dark style read a second key; older ones do not know it, which is fine.
    bool ignored = false;
    (void)RunAndWait({"gsettings", "set", "org.gnome.desktop.background", "picture-uri-dark", uri},
                     ignored);
    done = done && RunAndWait({"gsettings", "set", "org.gnome.desktop.background",
                               "picture-options", WallpaperOption(mode)},
                              started);
    return done;
}

bool TracedWallpaper::Set(std::span<const uint8_t> bitmapFile, int32_t mode) {
    bitmap_.assign(bitmapFile.begin(), bitmapFile.end());
    mode_ = mode;
    ++calls_;
    if (trace_.Enabled()) {
        trace_.WriteLine("SetWallPaper " + WallpaperOption(mode) + " " +
                         std::to_string(bitmapFile.size()));
    }
    return true;
}

}  // namespace kivo
