#pragma once
// Commands that work on the scene, the text and the media: the creating commands
// (TComComponent and TComControl, one expression per property of the page's mask for their
// type), property access, transitions, text insertion, the backlog, cabinets and the game
// save and load requests.
//
// Not built yet: these load and keep their records, and when run only step to the next
// command. Each becomes its own class with its real behaviour together with the scene objects
// it drives.

#include <vector>

#include "script/command.h"

namespace kivo {

// A command of the scene family that is not built yet; it keeps its stored fields.
class TComNotBuilt : public TCommand {
  public:
    explicit TComNotBuilt(CommandCode code) : TCommand(code) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

    [[nodiscard]] const std::vector<FieldValue>& Fields() const { return fields_; }

  private:
    std::vector<FieldValue> fields_;
};

// Base of the commands that create an object from their property expressions (Timer, Sound
// and the cabinet commands directly; every other creating command through TComControl).
class TComComponent : public TComNotBuilt {
  public:
    explicit TComComponent(CommandCode code) : TComNotBuilt(code) {}
};

class TComControl : public TComComponent {
  public:
    explicit TComControl(CommandCode code) : TComComponent(code) {}
};

}  // namespace kivo
