#pragma once
// What the save commands and functions ask of the save system: GameSave and GameLoad record a
// request that the frame step serves after the scene advanced; GetSaveCaption and
// ListSaveCaption read the captions of the saved games. The save system implements it; until
// it exists the player puts a stand-in in its place that keeps no saves and ignores requests.
//
// All calls are made on the main thread by commands and system functions while the interpreter
// runs. A second request of the same kind in one frame replaces the first.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_io.h"

namespace kivo {

// A part of a saved game or of the status data that a subsystem keeps in its own form: the
// scene root record, the backlog, the read marks. The save system writes and reads the parts
// in a fixed order; each must read exactly what it wrote.
class SaveSection {
  public:
    virtual ~SaveSection() = default;
    virtual void Save(ByteWriter& writer) const = 0;
    // version is the save version of the game entry, or the status version of the status
    // entry. Damaged data raise KivoError.
    virtual void Load(ByteReader& reader, int32_t version) = 0;
    // Called after every part of a loaded game entry has been read, the game variables
    // included, for what shows values of variables.
    virtual void FinishLoad() {}
};

// The part kept by an object that the player makes and frees during the run (the backlog, the
// read marks): its own stream form while it exists. While it is missing, the form of a new one
// is written and a stored one is read and dropped, so that the entry keeps its layout.
template <class Keeper>
class KeeperSaveSection final : public SaveSection {
  public:
    explicit KeeperSaveSection(const std::unique_ptr<Keeper>& keeper) : keeper_(keeper) {}
    void Save(ByteWriter& writer) const override {
        if (keeper_) {
            keeper_->Save(writer);
        } else {
            Keeper().Save(writer);
        }
    }
    void Load(ByteReader& reader, int32_t version) override {
        if (keeper_) {
            keeper_->Load(reader, version);
        } else {
            Keeper().Load(reader, version);
        }
    }

  private:
    const std::unique_ptr<Keeper>& keeper_;
};

struct SaveCaption {
    std::string caption;  // CP932
    int32_t slot = 0;
};

class SavePort {
  public:
    virtual ~SavePort() = default;

    // Saves the game into slot at the end of this frame, with its caption and the page and
    // command index it resumes at when loaded.
    virtual void RequestSave(int32_t slot, std::string_view caption, std::string_view resumePage,
                             int32_t resumeIndex) = 0;
    // Loads the game of slot at the end of this frame.
    virtual void RequestLoad(int32_t slot) = 0;
    // The caption of the game saved in slot, empty when there is none.
    [[nodiscard]] virtual std::string CaptionOf(int32_t slot) const = 0;
    // Every saved game's caption and slot, in the order of the caption list.
    [[nodiscard]] virtual std::vector<SaveCaption> Captions() const = 0;
};

// Saves of a player whose save system does not exist yet: nothing is kept, requests are lost.
class NullSavePort final : public SavePort {
  public:
    void RequestSave(int32_t, std::string_view, std::string_view, int32_t) override {}
    void RequestLoad(int32_t) override {}
    [[nodiscard]] std::string CaptionOf(int32_t) const override { return {}; }
    [[nodiscard]] std::vector<SaveCaption> Captions() const override { return {}; }
};

}  // namespace kivo
