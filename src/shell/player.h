#pragma once
// The player context: everything the original kept process-wide, owned for one run and passed
// to whoever needs it. Tests build their own with the headless platform, so any number of
// players can live in one process.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/player_state.h"
#include "imaging/screen_manager.h"
#include "media/media_library.h"
#include "media/media_managers.h"
#include "media/media_objects_port.h"
#include "media/midi_out_port.h"
#include "media/scene_media_service.h"
#include "media/sound_decoder.h"
#include "media/sound_mixer.h"
#include "platform/platform.h"
#include "scene/gale_collection.h"
#include "scene/kivo_new_history.h"
#include "scene/kivo_read_list.h"
#include "scene/scene_port.h"
#include "scene/scene_services.h"
#include "scene/timer_list.h"
#include "script/function_registry.h"
#include "script/param_collection.h"
#include "script/save_manager.h"
#include "script/script_context.h"
#include "shell/game_project.h"
#include "shell/player_screen.h"
#include "shell/save_folder.h"
#include "storage/db_manager.h"
#include "storage/tp_random.h"
#include "storage/vr_file_manager.h"
#include "text/font_pixel_manager.h"

namespace kivo {

class Player;

// Creates the scene for a player during start-up, before the project, which is then given the
// scene's object directory.
using SceneFactory = std::function<std::unique_ptr<ScenePort>(Player&)>;

// The media backend the program links: the decoders, and the MIDI ports with a SoundFont for
// the mapper (an empty name: the default one). Unset, nothing decodes (every sound ends as soon
// as it plays) and MIDI has no port that sounds.
struct MediaBackend {
    std::function<std::unique_ptr<MediaCodecs>()> codecs;
    std::function<std::unique_ptr<MidiPortProvider>(const std::string& soundFont)> midiPorts;
};

struct PlayerConfig {
    // The folder of the player program, and the program file itself (an archive appended to
    // it is mounted when the player runs without game folders).
    std::filesystem::path executableFolder;
    std::filesystem::path executablePath;
    // The game folders of the command line, options taken out; empty for a player that runs
    // the game it was shipped with.
    std::vector<std::string> arguments;
    // Seeds the random generator instead of the calendar's time of day (headless runs, tests).
    std::optional<uint32_t> seed;
    ProjectFactory projectFactory;
    // Makes the scene at start-up, before the project; unset, the player runs the scene root.
    SceneFactory sceneFactory;
    MediaBackend media;
    // Decode sound and pace host MIDI ports on threads of their own (the desktop player);
    // headless runs do it all on the main thread in game time.
    bool mediaThreads = false;
    // The SoundFont of the MIDI mapper, over game.ini's "SoundFont" (kivoplay --soundfont).
    std::string soundFont;
    // Receives one line per MIDI message sent (kivoplay --midi-trace); borrowed, may be null.
    TraceSink* midiTrace = nullptr;
    // The folder save.dat is kept in (kivoplay --save-dir); empty: chosen from the game folder
    // (shell/save_folder.h).
    std::filesystem::path saveDir;
    // The user's data folder, where the saves of games in read-only folders go; empty: they
    // stay in the game folder.
    std::filesystem::path userDataFolder;
    // Where the player's screenshots go (the Alt+S key); empty: none are taken.
    std::filesystem::path picturesFolder;
    // Where failures the game goes on after are reported (a save that could not be written);
    // borrowed; null: stderr.
    std::ostream* warnings = nullptr;
};

// The scene's part of saved games, through whichever scene the player runs.
class SceneSaveSection final : public SaveSection {
  public:
    explicit SceneSaveSection(const std::unique_ptr<ScenePort>& scene) : scene_(scene) {}
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;
    void FinishLoad() override;

  private:
    const std::unique_ptr<ScenePort>& scene_;
};

// The status data's dithering byte: the flag of the scene's image cache (@CGDither). A scene
// without an image cache writes it clear and drops the stored one.
class DitherSaveSection final : public SaveSection {
  public:
    explicit DitherSaveSection(const std::unique_ptr<ScenePort>& scene) : scene_(scene) {}
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  private:
    const std::unique_ptr<ScenePort>& scene_;
};

// Silence for the audio device until the mixer arrives, and again after it has gone.
class SilentAudioSource final : public AudioSource {
  public:
    void Render(int16_t* out, size_t frames, int32_t channels) override;
};

class Player {
  public:
    Player(Platform services, PlayerConfig config);
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    [[nodiscard]] const PlayerConfig& Config() const { return config_; }

    // The folder the player treats as its own: game.ini and "kivoplay.log" live there. It is
    // the game folder of the command line when there is one, else the program's folder,
    // which is where a player shipped with its game finds both.
    [[nodiscard]] std::filesystem::path HomeFolder() const;

    // Announces a start-up or shutdown step. The label reaches the trace only when a trace
    // was asked for; otherwise nothing is written.
    void StartupTrace(std::string_view label);

    // What commands and system functions reach the world through: the state, the platform's
    // clock and calendar, the random generator and the scene, media and save layers (their
    // stand-ins while those do not exist). Assembled when the project is created.
    [[nodiscard]] ScriptContext ScriptWorld();
    // Makes the save system over save.dat of the game's save location; called when the
    // project is created, before ScriptWorld.
    void CreateSaves();
    // Where save.dat goes (save_folder.h).
    [[nodiscard]] SaveLocation ChosenSaveLocation() const;

    PlayerState state;
    Platform platform;
    // The process random generator (the Random function), seeded at start-up.
    TProcessRandom random;
    NullSceneCommands noScene;
    NullMediaPort noMedia;
    NullSavePort noSaves;
    // The scripts' data tables and the active one; kept tables outlive the Reset command.
    TDBManager tables;

    // Owned for the whole run, created by start-up and freed by shutdown in their orders; each
    // is null before it is made and right after it is freed, so late handlers see it missing.
    std::unique_ptr<TVrFileManager> files;
    std::unique_ptr<TParamCollection> variables;
    std::unique_ptr<SystemFunctionRegistry> functions;
    // The glyph cache the scene's text and message windows draw with; declared before the
    // scene, which borrows it.
    std::unique_ptr<TFontPixelManager> glyphs;
    // The event queue the scene root fills and the interpreter runs; declared before the
    // scene, which holds it, so that it is freed after the scene.
    TTimerList events;
    // What particles evaluate their expressions through; outlives the scene.
    std::unique_ptr<ExpressionEvaluator> sceneExpressions;
    // Where the scene's image cache reads pictures: the files and the project's code.
    std::unique_ptr<PictureFiles> pictures;
    std::unique_ptr<ScenePort> scene;
    // Saved games and the status data, made with the project, and the parts kept by the
    // scene, the backlog, the read marks and the image cache, which the save system reaches
    // through these sections whichever of them exist at the time.
    SceneSaveSection sceneRecord{scene};
    KeeperSaveSection<TKivoNewHistory> backlogRecord{textHistory};
    KeeperSaveSection<TKivoReadList> readMarkRecord{textRead};
    DitherSaveSection ditherRecord{scene};
    std::unique_ptr<TSaveManager> saves;
    // The backlog (saved with each game) and the read marks (saved with the status data), one
    // each for the program, made with the scene; the expressions that message windows expand
    // their text with.
    std::unique_ptr<TKivoNewHistory> textHistory;
    std::unique_ptr<TKivoReadList> textRead;
    std::unique_ptr<TextExpressions> textExpressions;
    std::unique_ptr<GameProject> project;
    // The media layer: the decoders, the mixer installed in the audio output, the library of
    // sound and film items, the MIDI ports and the managers.
    std::unique_ptr<MediaCodecs> codecs;
    std::unique_ptr<TSoundMixer> mixer;
    std::unique_ptr<MediaLibrary> media;
    std::unique_ptr<MidiPortProvider> midiPorts;
    TMediaManagers managers;
    // Presents frames and switches full screen; made with the media managers once the scene
    // size is known.
    std::unique_ptr<TScreenManager> screen;
    // The window as the scene root and the scripts see it (cursor, full screen, modes).
    PlayerScreen sceneWindow{*this};
    // The managers as the scene's sounds see them, from MediaInit to MediaFinal.
    std::unique_ptr<SceneMediaService> sceneMedia;
    // The media commands' view of the scene's media objects, made with a scene root.
    std::unique_ptr<MediaObjectsPort> mediaObjects;
    SilentAudioSource silence;
    // Where the interpreter stood when the project was closed, for the variable dump.
    InterpreterPosition lastPosition;

  private:
    PlayerConfig config_;
};

}  // namespace kivo
