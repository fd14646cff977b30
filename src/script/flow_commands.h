#pragma once
// The control-flow commands: conditions and loops, labels, jumps and calls between pages,
// waiting, variables, and the resets that move the whole script elsewhere. Blocks are found by
// indent level: the commands of an If or While block are indented deeper than it.

#include <cstdint>
#include <string>
#include <vector>

#include "script/command.h"
#include "script/expression.h"

namespace kivo {

class TComIf : public TCommand {
  public:
    TComIf() : TCommand(CommandCode::If) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    TKivoParser condition_;
};

// Elseif and Else are reached only by falling out of the block before them; the If's scan
// evaluates an Elseif's condition itself.
class TComElseif : public TCommand {
  public:
    TComElseif() : TCommand(CommandCode::Elseif) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;
    [[nodiscard]] const TKivoParser& Condition() const { return condition_; }

  private:
    TKivoParser condition_;
};

class TComElse : public TCommand {
  public:
    TComElse() : TCommand(CommandCode::Else) {}
    void Execute(TCallMan& man) override;
};

class TComLabel : public TCommand {
  public:
    TComLabel() : TCommand(CommandCode::Label) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;
    [[nodiscard]] bool MatchesLabel(std::string_view name) const override { return name == name_; }

  private:
    std::string name_;
};

class TComJump : public TCommand {
  public:
    TComJump() : TCommand(CommandCode::Jump) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    std::string page_;
    int32_t target_ = 0;
    TKivoParser condition_;
};

class TComCall : public TCommand {
  public:
    TComCall() : TCommand(CommandCode::Call) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    std::string page_;
    int32_t target_ = 0;
    std::string resultVariable_;
    TKivoParser condition_;
    std::vector<TKivoParser> arguments_;
};

class TComExit : public TCommand {
  public:
    TComExit() : TCommand(CommandCode::Exit) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    TKivoParser condition_;
};

// Waits a time, or while its condition holds. The frame in which the wait begins does not
// count against the time.
class TComWait : public TCommand {
  public:
    TComWait() : TCommand(CommandCode::Wait) {}
    void Load(CommandRecord& record) override;
    void Begin(TCallMan& man) override;
    void Execute(TCallMan& man) override;
    [[nodiscard]] bool BlocksEvents() const override { return eventsBlocked_; }
    [[nodiscard]] bool IsWaitPoint() const override { return true; }
    void SaveRunningState(ByteWriter& writer) const override;
    void RestoreRunningState(ByteReader& reader) override;

    [[nodiscard]] int32_t RemainingTime() const { return time_; }

  private:
    TKivoParser condition_;
    TKivoParser timeExpr_;
    TKivoParser eventsBlockedExpr_;
    int32_t time_ = 0;
    int32_t firstFrame_ = 0;
    bool eventsBlocked_ = false;
};

class TComCalc : public TCommand {
  public:
    TComCalc() : TCommand(CommandCode::Calc) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    TKivoParser expression_;
};

class TComVarNew : public TCommand {
  public:
    TComVarNew() : TCommand(CommandCode::VarNew) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    std::string name_;
    uint8_t type_ = 0;
    TKivoParser value_;
    uint8_t scope_ = 0;
};

class TComVarDel : public TCommand {
  public:
    TComVarDel() : TCommand(CommandCode::VarDel) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    std::string name_;
};

// A comment is never run: it is always disabled, whatever the page says.
class TComComment : public TCommand {
  public:
    TComComment() : TCommand(CommandCode::Comment) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    std::string text_;
};

class TComWhile : public TCommand {
  public:
    TComWhile() : TCommand(CommandCode::While) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    TKivoParser condition_;
    int32_t exitIndex_ = 0;
};

class TComWhileInit : public TCommand {
  public:
    TComWhileInit() : TCommand(CommandCode::WhileInit) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    TKivoParser expression_;
};

class TComWhileLoop : public TCommand {
  public:
    TComWhileLoop() : TCommand(CommandCode::WhileLoop) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    TKivoParser expression_;
    int32_t loopIndex_ = 0;
};

// Break leaves a loop when its condition holds; Continue goes back to its top. A negative
// target ends the page.
class TComBreak : public TCommand {
  public:
    TComBreak() : TCommand(CommandCode::Break) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    TKivoParser condition_;
    int32_t target_ = 0;
};

class TComContinue : public TCommand {
  public:
    TComContinue() : TCommand(CommandCode::Continue) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    TKivoParser condition_;
    int32_t target_ = 0;
};

// PCReset moves the main flow to another place (full: drops the whole call stack and the
// event queue); Reset starts the game again there with the scene and variables emptied.
class TComPCReset : public TCommand {
  public:
    explicit TComPCReset(CommandCode code = CommandCode::PCReset) : TCommand(code) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  protected:
    std::string page_;
    int32_t index_ = 0;
    bool full_ = false;
};

class TComReset : public TComPCReset {
  public:
    TComReset() : TComPCReset(CommandCode::Reset) {}
    void Execute(TCallMan& man) override;
};

class TComTerminate : public TCommand {
  public:
    TComTerminate() : TCommand(CommandCode::Terminate) {}
    void Execute(TCallMan& man) override;
};

// Ends the frame here, so that pending events can start before the next command.
class TComDoEvent : public TCommand {
  public:
    TComDoEvent() : TCommand(CommandCode::DoEvent) {}
    void Execute(TCallMan& man) override;
    [[nodiscard]] bool IsWaitPoint() const override { return true; }
};

}  // namespace kivo
