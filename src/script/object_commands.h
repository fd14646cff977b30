#pragma once
// Commands that read, write and delete scene objects by name and flip the two layers. They
// reach the scene only through the context's SceneCommands.

#include <cstdint>
#include <string>
#include <vector>

#include "scene/object_handle.h"
#include "script/command.h"

namespace kivo {

// The object an object-name expression names: no value or the empty name is none.
[[nodiscard]] ObjectHandle FindNamed(TCallMan& man, const TKivoParser& expr);
// The names of an object list (Flip, the cabinets): each entry may hold several, one a line.
[[nodiscard]] std::vector<std::string> ListedNames(TCallMan& man,
                                                   const std::vector<TKivoParser>& entries);

// GetProp object, property, variable: the property's value into the variable, which converts
// it to its own type.
class TComGetProp : public TCommand {
  public:
    TComGetProp() : TCommand(CommandCode::GetProp) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    TKivoParser object_;
    TKivoParser property_;
    std::string variable_;
};

// SetProp object, property, value.
class TComSetProp : public TCommand {
  public:
    TComSetProp() : TCommand(CommandCode::SetProp) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    TKivoParser object_;
    TKivoParser property_;
    TKivoParser value_;
};

// ObjDel object: the object and its children go.
class TComObjDel : public TCommand {
  public:
    TComObjDel() : TCommand(CommandCode::ObjDel) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    TKivoParser object_;
};

// Flip: shows the other layer, taking the active layer's children the list selects along.
// The change waits for its time, one frame first, while the scene's transition mixes the old
// picture (kept by a snapshot on top of the shown layer) into the other layer; the layers
// switch when the time is up. The snapshot is held by handle: a script may delete it.
class TComFlip : public TCommand {
  public:
    // Wipe codes above this run as code 0.
    static constexpr int32_t kLastWipeCode = 38;

    TComFlip() : TCommand(CommandCode::Flip) {}
    void Load(CommandRecord& record) override;
    void Begin(TCallMan& man) override;
    void Execute(TCallMan& man) override;
    void Abandon(TCallMan& man) override;
    [[nodiscard]] bool BlocksEvents() const override { return eventsBlocked_; }
    [[nodiscard]] bool IsWaitPoint() const override { return timed_; }
    void SaveRunningState(ByteWriter& writer) const override;
    void RestoreRunningState(ByteReader& reader) override;

  private:
    // Moves the selected children of the shown layer to the other one.
    void MoveSelected(TCallMan& man, int32_t mode, const std::vector<std::string>& names);
    // Starts the scene's transition with the command's parameters and rule picture.
    void StartTransition(TCallMan& man);
    // Shows the other layer and, with the clear flag, empties the layer left.
    void Finish(TCallMan& man, bool clearCabinets);

    TKivoParser wipe_;
    TKivoParser time_;
    TKivoParser transition_;
    TKivoParser mode_;
    std::vector<TKivoParser> names_;
    TKivoParser clear_;
    TKivoParser param0_;
    TKivoParser param1_;
    TKivoParser mask_;
    TKivoParser eventsBlockedExpr_;

    // 0 begun, 1 a frame passed, 2 timing, 3 nothing to wait for.
    int32_t state_ = 0;
    int32_t wipeCode_ = 0;
    int32_t duration_ = 1;
    int32_t startClock_ = 0;
    ObjectHandle snapshot_;
    bool timed_ = false;
    bool clearFlag_ = false;
    bool eventsBlocked_ = false;
};

}  // namespace kivo
