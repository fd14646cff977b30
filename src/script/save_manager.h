#pragma once
// Saved games and the status data. GameSave and GameLoad record a request that the frame step
// serves at the end of the frame, the load first; the captions of the saved games are read
// from save.dat when the project is made and kept up to date as games are saved. The status
// data (status variables, read marks, the dithering setting, the kept data tables) is read at
// the same time and stored after every saved game and at shutdown.
//
// Everything runs on the main thread: requests from commands while the interpreter runs, the
// rest from the project and the frame step.

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/player_state.h"
#include "platform/dialogs.h"
#include "script/param_collection.h"
#include "script/save_port.h"
#include "storage/db_manager.h"
#include "storage/save_file.h"

namespace kivo {

class TCallMan;

// The version written at the head of every game entry, and the oldest one that loads.
inline constexpr int32_t kGameSaveVersion = 134;
inline constexpr int32_t kOldestLoadableSaveVersion = 107;
// Game entries up to this version carry no data tables.
inline constexpr int32_t kSaveVersionNoTables = 122;
// The status entry's version ("Status103"), and the versions that added its last parts.
inline constexpr int32_t kStatusVersion = 103;
inline constexpr int32_t kStatusVersionDither = 100;  // the dithering byte above this
inline constexpr int32_t kStatusVersionTables = 102;  // the kept tables above this

// The warning shown before the player ends when a saved game cannot be loaded.
inline constexpr std::string_view kUnusableSaveText =
    "このセーブデータは使用できません\r\n終了してください";

// What saving reaches; every part outlives the manager.
struct SaveServices {
    PlayerState& player;
    TParamCollection& variables;
    TDBManager& tables;
    MessageDialogs& dialogs;
    // The scene root record and the backlog (game entries); the read marks and the image
    // cache's dithering flag (the status entry).
    SaveSection& scene;
    SaveSection& backlog;
    SaveSection& readMarks;
    SaveSection& dither;
    // Where failures that do not stop the game are reported (stderr in the player).
    std::ostream& warnings;
};

class TSaveManager final : public SavePort {
  public:
    TSaveManager(const SaveServices& services, TSaveFile file);

    [[nodiscard]] TSaveFile& File() { return file_; }
    // The interpreter whose state games save; null while there is none. Without one, no game
    // is saved or loaded.
    void SetInterpreter(TCallMan* interpreter) { interpreter_ = interpreter; }
    [[nodiscard]] bool HasInterpreter() const { return interpreter_ != nullptr; }
    // The project's "save enabled" setting: without it the status data stays in memory.
    void SetSaveEnabled(bool enabled) { saveEnabled_ = enabled; }

    // ---- SavePort ----

    void RequestSave(int32_t slot, std::string_view caption, std::string_view resumePage,
                     int32_t resumeIndex) override;
    void RequestLoad(int32_t slot) override;
    [[nodiscard]] std::string CaptionOf(int32_t slot) const override;
    [[nodiscard]] std::vector<SaveCaption> Captions() const override { return captions_; }

    // ---- Served by the project ----

    // Reads the captions of the saved games and the status data from save.dat. Called once
    // when the project is made, before the project file is read. A save.dat that cannot be
    // read is moved aside as "save.dat.bad" and the game starts without saves.
    void ReadStatusAndCaptions();
    // Serves this frame's requests, the load first; true when a load was asked for (also when
    // it failed), so that the frame is not drawn.
    [[nodiscard]] bool ServePending();
    // Stores the status data in save.dat. Called after every saved game and at shutdown.
    void StoreStatus();

    // Saves the game in slot now, and the status data with it. An empty caption saves
    // nothing. A failure to write keeps the old save.dat and captions and is reported on the
    // warnings stream.
    void SaveGame(int32_t slot, std::string_view caption, std::string_view resumePage,
                  int32_t resumeIndex);
    // Loads the game of slot now; nothing happens when there is no such save. A save that
    // cannot be restored sets the quit request and shows kUnusableSaveText.
    void LoadGame(int32_t slot);

    // ---- Entry forms ----

    [[nodiscard]] std::vector<uint8_t> GameEntry(std::string_view caption,
                                                 std::string_view resumePage,
                                                 int32_t resumeIndex) const;
    [[nodiscard]] std::vector<uint8_t> StatusEntry() const;
    // Restores a game entry; damaged data or an unknown version raise KivoError naming source,
    // with what was restored before the error left in place.
    void RestoreGame(std::span<const uint8_t> entry, const std::string& source);
    // Adds the status data of an entry (variables are added, never deleted).
    void RestoreStatus(std::span<const uint8_t> entry, const std::string& source);

  private:
    void ReadCaptions(const TVrFileCollection& archive);
    [[nodiscard]] bool StatusWritable() const { return saveEnabled_ && !statusBlocked_; }
    void WarnOnce(bool& warned, const std::string& text);
    void Warn(const std::string& text);

    SaveServices services_;
    TSaveFile file_;
    TCallMan* interpreter_ = nullptr;
    bool saveEnabled_ = true;
    std::vector<SaveCaption> captions_;

    int32_t pendingLoadSlot_ = -1;
    int32_t pendingSaveSlot_ = -1;
    std::string pendingSaveCaption_;
    std::string pendingSavePage_;
    int32_t pendingSaveIndex_ = 0;

    bool statusWriteWarned_ = false;
    // The stored status data could not be read nor kept aside: it is not overwritten.
    bool statusBlocked_ = false;
};

}  // namespace kivo
