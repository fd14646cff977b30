#pragma once
// Commands that work on the scene, the text and the media: the creating commands
// (TComComponent and TComControl, one expression per property of the page's mask for their
// type), the cabinets and the commands of text and media not built yet.
//
// A creating command whose kind the scene does not make yet, and every TComNotBuilt, keeps its
// record and when run only steps to the next command.

#include <memory>
#include <optional>
#include <vector>

#include "scene/object_handle.h"
#include "scene/scene_commands.h"
#include "script/command.h"

namespace kivo {

class TCustomParam;

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

// The LT_ kind a creating command makes; nothing for other commands (the cabinet commands
// hold properties but create no object of their own).
[[nodiscard]] std::optional<int32_t> CreatedKind(CommandCode code);

// The value a creating command writes for a property whose expression yields nothing.
[[nodiscard]] std::unique_ptr<TCustomParam> CreationDefault(int32_t prId);

// Base of the commands that create an object from their property expressions (Timer, Sound
// and the cabinet commands directly; every other creating command through TComControl).
class TComComponent : public TComNotBuilt {
  public:
    explicit TComComponent(CommandCode code) : TComNotBuilt(code) {}
    void Execute(TCallMan& man) override;

  private:
    // Writes the expression of one property to the new object.
    void ApplyProperty(TCallMan& man, ObjectHandle object, const PropertyExpr& property) const;
    // Sets a new sound or movie playing, fading in when it has a fade time.
    void StartPlaying(TCallMan& man, ObjectHandle object) const;
};

class TComControl : public TComComponent {
  public:
    explicit TComControl(CommandCode code) : TComComponent(code) {}
};

}  // namespace kivo
