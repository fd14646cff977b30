#include "script/flow_commands.h"

#include "base/error.h"
#include "script/call_man.h"

namespace kivo {

namespace {

// Moves pc past every command after it that is indented deeper than indent.
void SkipDeeper(const TPage& page, int32_t& pc, int32_t indent) {
    while (page.Contains(pc) && page.Command(pc).Indent() > indent)
        ++pc;
}

// A negative target of Break and Continue ends the page.
void GoTo(TCallMan& man, int32_t target) {
    if (target < 0) {
        man.EndPage();
    } else {
        man.State().pc = target;
    }
}

}  // namespace

// ---- If, Elseif, Else -----------------------------------------------------------------------

void TComIf::Load(CommandRecord& record) {
    TCommand::Load(record);
    condition_ = TakeField<TKivoParser>(record, "condition");
}

void TComIf::Execute(TCallMan& man) {
    InterpreterState& s = man.State();
    const TPage& page = *s.page;
    ++s.pc;
    if (man.IsTrue(condition_)) return;
    // Look for the branch to run: an Else, or the first Elseif whose condition holds, at this
    // If's indent; anything else at that indent (or a shallower command) ends the chain.
    while (page.Contains(s.pc)) {
        const TCommand& next = page.Command(s.pc);
        if (next.Indent() > Indent()) {
            ++s.pc;
            continue;
        }
        if (next.Indent() < Indent()) return;
        if (next.Code() == CommandCode::Else) {
            ++s.pc;
            return;
        }
        if (next.Code() != CommandCode::Elseif) return;
        ++s.pc;
        if (man.IsTrue(static_cast<const TComElseif&>(next).Condition())) return;
    }
}

void TComElseif::Load(CommandRecord& record) {
    TCommand::Load(record);
    condition_ = TakeField<TKivoParser>(record, "condition");
}

void TComElseif::Execute(TCallMan& man) {
    InterpreterState& s = man.State();
    ++s.pc;
    SkipDeeper(*s.page, s.pc, Indent());
}

void TComElse::Execute(TCallMan& man) {
    InterpreterState& s = man.State();
    ++s.pc;
    SkipDeeper(*s.page, s.pc, Indent());
}

// ---- Labels, jumps and calls ----------------------------------------------------------------

void TComLabel::Load(CommandRecord& record) {
    TCommand::Load(record);
    name_ = TakeField<std::string>(record, "name");
}

void TComLabel::Execute(TCallMan& man) {
    ++man.State().pc;
}

void TComJump::Load(CommandRecord& record) {
    TCommand::Load(record);
    page_ = TakeField<std::string>(record, "page");
    target_ = TakeField<int32_t>(record, "target");
    condition_ = TakeField<TKivoParser>(record, "condition");
}

void TComJump::Execute(TCallMan& man) {
    InterpreterState& s = man.State();
    ++s.pc;
    if (!man.IsTrue(condition_) || !man.FileAvailable(page_)) return;
    s.page = man.FetchPage(page_, true);
    s.pc = target_;
}

void TComCall::Load(CommandRecord& record) {
    TCommand::Load(record);
    page_ = TakeField<std::string>(record, "page");
    target_ = TakeField<int32_t>(record, "target");
    resultVariable_ = TakeField<std::string>(record, "result");
    condition_ = TakeField<TKivoParser>(record, "condition");
    arguments_ = TakeField<std::vector<TKivoParser>>(record, "arguments");
}

void TComCall::Execute(TCallMan& man) {
    ++man.State().pc;
    if (!man.IsTrue(condition_) || !man.FileAvailable(page_)) return;
    std::vector<std::string> arguments;
    arguments.reserve(arguments_.size());
    for (const TKivoParser& argument : arguments_) {
        // An argument that yields nothing is left out, and the later ones move up.
        if (ExpressionResult value = man.Evaluate(argument)) arguments.push_back(value->AsString());
    }
    // The page is loaded before the caller's frame is pushed: a page that fails to load must
    // not leave a frame behind that would run the rest of the caller a second time.
    std::shared_ptr<TPage> page = man.FetchPage(page_, true);
    man.CallPage(std::move(page), target_, resultVariable_, std::move(arguments));
}

void TComExit::Load(CommandRecord& record) {
    TCommand::Load(record);
    condition_ = TakeField<TKivoParser>(record, "condition");
}

void TComExit::Execute(TCallMan& man) {
    if (man.IsTrue(condition_)) {
        man.EndPage();
    } else {
        ++man.State().pc;
    }
}

// ---- Wait -----------------------------------------------------------------------------------

void TComWait::Load(CommandRecord& record) {
    TCommand::Load(record);
    condition_ = TakeField<TKivoParser>(record, "condition");
    timeExpr_ = TakeField<TKivoParser>(record, "time");
    eventsBlockedExpr_ = TakeField<TKivoParser>(record, "eventsBlocked");
}

void TComWait::Begin(TCallMan& man) {
    time_ = man.EvaluateInt(timeExpr_).value_or(0);
    firstFrame_ = 1;
    eventsBlocked_ = man.EvaluateFlag(eventsBlockedExpr_).value_or(false);
}

void TComWait::Execute(TCallMan& man) {
    InterpreterState& s = man.State();
    std::optional<bool> condition = man.EvaluateFlag(condition_);
    if (condition.has_value() && !*condition) {
        ++s.pc;
        return;
    }
    if (time_ != 0) {
        if (firstFrame_ > 0) {
            --firstFrame_;
        } else {
            time_ -= man.Player().frameDelta;
            if (time_ <= 0) {
                ++s.pc;
                return;
            }
        }
    }
    // A time of 0 waits for as long as the condition holds (or for ever without one).
    s.continueFlag = false;
}

void TComWait::SaveRunningState(ByteWriter& writer) const {
    WriteRunningStateSignature(writer);
    writer.WriteI32(time_);
    writer.WriteI32(firstFrame_);
    writer.WriteBool(eventsBlocked_);
}

void TComWait::RestoreRunningState(ByteReader& reader) {
    int32_t version = ReadRunningStateVersion(reader);
    time_ = reader.ReadI32();
    firstFrame_ = reader.ReadI32();
    eventsBlocked_ = version >= 100 ? reader.ReadBool() : false;
}

// ---- Variables ------------------------------------------------------------------------------

void TComCalc::Load(CommandRecord& record) {
    TCommand::Load(record);
    expression_ = TakeField<TKivoParser>(record, "expression");
}

void TComCalc::Execute(TCallMan& man) {
    ++man.State().pc;
    (void)man.Evaluate(expression_);
}

void TComVarNew::Load(CommandRecord& record) {
    TCommand::Load(record);
    name_ = TakeField<std::string>(record, "name");
    type_ = TakeField<uint8_t>(record, "type");
    value_ = TakeField<TKivoParser>(record, "value");
    scope_ = TakeField<uint8_t>(record, "scope");
}

void TComVarNew::Execute(TCallMan& man) {
    ++man.State().pc;
    if (name_.empty()) throw KivoError("変数名がありません");
    Declaration declared =
        man.Variables().Declare(name_, type_, static_cast<VariableScope>(scope_));
    if (!declared.initialise || declared.variable == nullptr) return;
    if (ExpressionResult value = man.Evaluate(value_)) {
        TParamCollection::StoreDeclared(declared.variable->Value(), type_, *value);
    }
}

void TComVarDel::Load(CommandRecord& record) {
    TCommand::Load(record);
    name_ = TakeField<std::string>(record, "name");
}

void TComVarDel::Execute(TCallMan& man) {
    ++man.State().pc;
    (void)man.Variables().Remove(name_);
}

void TComComment::Load(CommandRecord& record) {
    TCommand::Load(record);
    text_ = TakeField<std::string>(record, "text");
    SetDisabled(true);
}

void TComComment::Execute(TCallMan& man) {
    ++man.State().pc;
}

// ---- Loops ----------------------------------------------------------------------------------

void TComWhile::Load(CommandRecord& record) {
    TCommand::Load(record);
    condition_ = TakeField<TKivoParser>(record, "condition");
    exitIndex_ = TakeField<int32_t>(record, "exit");
}

void TComWhile::Execute(TCallMan& man) {
    InterpreterState& s = man.State();
    ++s.pc;
    if (!man.IsTrue(condition_)) s.pc = exitIndex_;
}

void TComWhileInit::Load(CommandRecord& record) {
    TCommand::Load(record);
    expression_ = TakeField<TKivoParser>(record, "expression");
}

void TComWhileInit::Execute(TCallMan& man) {
    InterpreterState& s = man.State();
    ++s.pc;
    s.continueFlag = true;
    (void)man.Evaluate(expression_);
}

void TComWhileLoop::Load(CommandRecord& record) {
    TCommand::Load(record);
    expression_ = TakeField<TKivoParser>(record, "expression");
    loopIndex_ = TakeField<int32_t>(record, "loop");
}

void TComWhileLoop::Execute(TCallMan& man) {
    man.State().pc = loopIndex_;
    (void)man.Evaluate(expression_);
}

void TComBreak::Load(CommandRecord& record) {
    TCommand::Load(record);
    condition_ = TakeField<TKivoParser>(record, "condition");
    target_ = TakeField<int32_t>(record, "target");
}

void TComBreak::Execute(TCallMan& man) {
    if (man.IsTrue(condition_)) {
        GoTo(man, target_);
    } else {
        ++man.State().pc;
    }
}

void TComContinue::Load(CommandRecord& record) {
    TCommand::Load(record);
    condition_ = TakeField<TKivoParser>(record, "condition");
    target_ = TakeField<int32_t>(record, "target");
}

void TComContinue::Execute(TCallMan& man) {
    ++man.State().pc;
    if (man.IsTrue(condition_)) GoTo(man, target_);
}

// ---- Resets and the end of the game ---------------------------------------------------------

void TComPCReset::Load(CommandRecord& record) {
    TCommand::Load(record);
    page_ = TakeField<std::string>(record, "page");
    index_ = TakeField<int32_t>(record, "index");
    full_ = TakeField<uint8_t>(record, "full") != 0;
}

void TComPCReset::Execute(TCallMan& man) {
    man.ResetTo(page_, index_, full_);
}

void TComReset::Execute(TCallMan& man) {
    man.ResetGame(page_, index_);
}

void TComTerminate::Execute(TCallMan& man) {
    ++man.State().pc;
    // The shell closes the window when it sees the request after this frame.
    man.Player().quitRequest = true;
}

void TComDoEvent::Execute(TCallMan& man) {
    InterpreterState& s = man.State();
    ++s.pc;
    s.continueFlag = false;
}

}  // namespace kivo
