// kivoplay: the player program. Parses the command line, holds the single-instance lock,
// builds the desktop or the headless platform and runs one session of the player on it.

#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/guarded_run.h"
#include "app/headless_driver.h"
#include "base/error.h"
#include "base/sjis.h"
#include "media/backend/backend_media_codecs.h"
#include "media/backend/midi_ports.h"
#include "platform/host_files.h"
#include "platform/host_paths.h"
#include "platform/instance_lock.h"
#include "platform/quit_signal.h"
#include "platform/trace_sink.h"
#include "shell/command_line.h"
#include "shell/form_config.h"
#include "shell/game_chooser.h"
#include "shell/input_script.h"
#include "shell/instance_name.h"
#include "shell/player.h"
#include "shell/recent_games.h"
#include "shell/script_project.h"
#include "shell/session.h"

#ifdef KIVO_HAVE_DESKTOP
#include "app/desktop_driver.h"
#include "platform/desktop/desktop_platform.h"
#include "platform/desktop/gtk_dialogs.h"
#endif

namespace kivo {
namespace {

int Fail(std::string_view message, int status) {
    std::cerr << "kivoplay: " << message << '\n';
    return status;
}

// The decoders and MIDI ports of the media backend. Headless runs list no host MIDI ports, so
// their port list is the same on every machine.
MediaBackend BackendMedia(bool hostMidiPorts) {
    MediaBackend backend;
    backend.codecs = [] { return std::make_unique<BackendMediaCodecs>(); };
    backend.midiPorts = [hostMidiPorts](const std::string& soundFont) {
        return std::make_unique<BackendMidiPorts>(soundFont.empty() ? kDefaultSoundFont : soundFont,
                                                  hostMidiPorts);
    };
    return backend;
}

// "kivoplay /config": the sound settings dialog for the game.ini of folder, and nothing else.
// Headless, the answers of the input script answer it.
int RunConfig(const CommandLine& line, std::vector<ScriptedInput> input,
              const std::filesystem::path& folder) {
    if (line.headless) {
        HeadlessPlatform platform(std::cerr);
        for (const ScriptedInput& item : input) {
            if (item.isAnswer && item.choice < 0 && item.folder.empty())
                platform.dialogs.QueueAnswer(item.answer);
        }
        return TFormConfig(platform.dialogs, folder).Run();
    }
#ifdef KIVO_HAVE_DESKTOP
    GtkDialogs dialogs;
    return TFormConfig(dialogs, folder).Run();
#else
    return Fail("this build has no desktop player; run with --headless", 2);
#endif
}

int Run(int argc, char** argv, [[maybe_unused]] std::chrono::steady_clock::time_point launched) {
    std::vector<std::string_view> words(argv + 1, argv + argc);
    CommandLine line;
    try {
        line = ParseCommandLine(words);
    } catch (const KivoError& error) {
        return Fail(std::string(error.what()) + "\nTry 'kivoplay --help'.", 2);
    }
    if (line.help) {
        std::cout << UsageText();
        return 0;
    }
    if (line.version) {
        std::cout << "kivoplay " << KIVO_VERSION << '\n';
        return 0;
    }
    // The desktop calendar is the host's.
    if (line.date && !line.headless) {
        return Fail("--date: only with --headless\nTry 'kivoplay --help'.", 2);
    }

    if (!line.audioDumpFile.empty() && !line.headless) {
        return Fail("--audio-dump needs --headless: only the headless sink keeps the sound", 2);
    }

    std::unique_ptr<TraceSink> trace;
    std::unique_ptr<TraceSink> midiTrace;
    InputScript script;
    try {
        if (!line.traceFile.empty()) trace = std::make_unique<FileTraceSink>(line.traceFile);
        if (!line.midiTraceFile.empty())
            midiTrace = std::make_unique<FileTraceSink>(line.midiTraceFile);
        if (!line.inputFile.empty()) script = ReadInputScript(line.inputFile);
    } catch (const KivoError& error) {
        return Fail(error.what(), 2);
    }

    const std::filesystem::path exeFolder = ExecutableFolder();
    const bool configRun =
        !line.arguments.empty() && sjis::EqualsIgnoreCase(line.arguments.front(), "/config");
    // One player per game: a second start on the same folder ends at once, without a word.
    FileInstanceLock lock(DefaultLockFolder());
    const auto lockGame = [&](const std::vector<std::string>& gameArguments) {
        const std::filesystem::path gameFolder =
            gameArguments.empty() ? exeFolder : TVrFileManager::GameFolderOf(gameArguments.front());
        return lock.TryAcquire(SingleInstanceName(gameFolder));
    };

    if (configRun) {
        const std::vector<std::string> rest(line.arguments.begin() + 1, line.arguments.end());
        if (!lockGame(rest)) return 0;
        return RunConfig(line, std::move(script.input),
                         rest.empty() ? exeFolder : TVrFileManager::GameFolderOf(rest.front()));
    }

    PlayerConfig config;
    config.executableFolder = exeFolder;
    config.executablePath = ExecutablePath();
    config.arguments = line.arguments;

    // An installed player, started without a game and with none of its own, asks for one; the
    // chosen folder then stands for the command line's. Returns false when the person at the
    // screen cancelled. Nobody to ask leaves the start-up as it was, which says what is missing.
    RecentGames recent(UserConfigFolder().empty() ? std::filesystem::path()
                                                  : UserConfigFolder() / "recent-games");
    const bool asksForGame =
        config.arguments.empty() && !GameBesideProgram(exeFolder, config.executablePath);
    const auto settleGame = [&](MessageDialogs& dialogs) {
        if (!asksForGame) return true;
        const FolderChoice choice = ChooseGame(dialogs, recent, std::cerr);
        switch (choice.status) {
            case FolderChoiceStatus::Chosen:
                config.arguments = {choice.folder.string()};
                return true;
            case FolderChoiceStatus::Cancelled:
                return false;
            case FolderChoiceStatus::Unanswered:
                return true;
        }
        return true;
    };
    config.seed = line.seed;
    config.projectFactory = ScriptProjectFactory();
    config.media = BackendMedia(!line.headless);
    config.mediaThreads = !line.headless;
    config.soundFont = line.soundFont;
    config.midiTrace = midiTrace.get();
    config.saveDir = line.saveDir;
    config.userDataFolder = UserDataFolder();
    config.picturesFolder = UserPicturesFolder();
    SessionOptions options{line.frames, line.dumpVarsFile, line.dumpSceneFile, line.screenshotFile,
                           std::move(script.observations)};

    std::vector<std::string> deletions;
    int status = 0;
    const auto runOn = [&](Platform services, SessionDriver& driver) {
        Player player(services, config);
        player.state.quitSignal = InstallQuitSignalHandlers();
        try {
            status = RunSession(player, options, driver);
        } catch (...) {
            deletions = player.state.pendingExitDeletions;
            throw;
        }
        deletions = player.state.pendingExitDeletions;
    };

    // An error that escapes the session still lets the game's temporary files go below.
    if (line.headless) {
        status = GuardedRun(
            [&] {
                HeadlessPlatform platform(std::cerr, trace.get(),
                                          line.date.value_or(DefaultHeadlessDate()));
                HeadlessDriver driver(platform, std::move(script.input), line.frameMs);
                // The chooser is answered by the script's answers of frame 0, as start-up is.
                driver.BeforeStartup();
                if (!settleGame(platform.dialogs) || !lockGame(config.arguments)) return 0;
                if (!line.audioDumpFile.empty()) platform.audio.KeepSamples();
                runOn(platform.Services(), driver);
                if (!line.audioDumpFile.empty()) {
                    try {
                        host::WriteFileBytes(line.audioDumpFile, platform.audio.KeptAsWave());
                    } catch (const KivoError& error) {
                        return Fail(error.what(), 2);
                    }
                }
                return status;
            },
            std::cerr);
    } else {
#ifdef KIVO_HAVE_DESKTOP
        status = GuardedRun(
            [&] {
                if (asksForGame) {
                    GtkDialogs chooser;
                    if (!settleGame(chooser)) return 0;
                }
                if (!lockGame(config.arguments)) return 0;
                DesktopPlatform platform(trace.get(), launched);
                DesktopDriver driver(platform.window);
                runOn(platform.Services(), driver);
                return status;
            },
            std::cerr);
#else
        return Fail("this build has no desktop player; run with --headless", 2);
#endif
    }

    // Temporary files the game registered are removed once everything else is gone.
    for (const std::string& path : deletions) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
    return status;
}

}  // namespace
}  // namespace kivo

int main(int argc, char** argv) {
    // The start of the program as the player can see it; the desktop trace times the first
    // frame from here.
    const auto launched = std::chrono::steady_clock::now();
    return kivo::GuardedRun([&] { return kivo::Run(argc, argv, launched); }, std::cerr);
}
