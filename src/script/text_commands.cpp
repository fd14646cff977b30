#include "script/text_commands.h"

#include <algorithm>

#include "script/call_man.h"
#include "script/object_commands.h"
#include "script/script_context.h"

namespace kivo {

namespace {

MessageCommands* Messages(TCallMan& man) {
    return man.Context().scene.Messages();
}

}  // namespace

// ---- TextIns -----------------------------------------------------------------------------------

void TComTextIns::Load(CommandRecord& record) {
    TCommand::Load(record);
    hasText_ = !TakeField<std::vector<uint8_t>>(record, "text").empty();
    object_ = TakeField<TKivoParser>(record, "object");
    readMark_ = TakeField<TKivoParser>(record, "readMark");
    waitExpr_ = TakeField<TKivoParser>(record, "wait");
    eventsBlockedExpr_ = TakeField<TKivoParser>(record, "eventsBlocked");
}

void TComTextIns::Begin(TCallMan& man) {
    eventsBlocked_ = man.EvaluateFlag(eventsBlockedExpr_).value_or(false);
    window_ = {};
    windowName_.clear();
    wait_ = false;
    MessageCommands* messages = Messages(man);
    if (!hasText_ || messages == nullptr) return;
    const ObjectHandle window = FindNamed(man, object_);
    if (!messages->IsMessageWindow(window)) return;
    const InterpreterState& state = man.State();
    const bool readMarks = man.IsTrue(readMark_);
    messages->ShowRecord(window, state.page->Name(), state.pc, readMarks);
    window_ = window;
    windowName_ = man.Context().scene.NameOf(window).value_or(std::string());
    wait_ = man.EvaluateFlag(waitExpr_).value_or(false);
}

void TComTextIns::Execute(TCallMan& man) {
    MessageCommands* messages = Messages(man);
    if (window_.IsNull() && !windowName_.empty()) {
        window_ = man.Context().scene.FindByName(windowName_);
    }
    // A window deleted while the command waits lets it go on.
    if (wait_ && messages != nullptr && messages->Revealing(window_)) {
        // Waiting ends the frame's run even under a continue flag.
        man.State().continueFlag = false;
        return;
    }
    ++man.State().pc;
}

void TComTextIns::SaveRunningState(ByteWriter& writer) const {
    WriteRunningStateSignature(writer);
    writer.WriteCountedString(windowName_);
    writer.WriteBool(wait_);
    writer.WriteBool(eventsBlocked_);
}

void TComTextIns::RestoreRunningState(ByteReader& reader) {
    (void)ReadRunningStateVersion(reader);
    windowName_ = reader.ReadCountedString();
    wait_ = reader.ReadBool();
    eventsBlocked_ = reader.ReadBool();
    // The handle is found again by name on the first Execute.
    window_ = {};
}

// ---- TextClr -----------------------------------------------------------------------------------

void TComTextClr::Load(CommandRecord& record) {
    TCommand::Load(record);
    object_ = TakeField<TKivoParser>(record, "object");
}

void TComTextClr::Execute(TCallMan& man) {
    ++man.State().pc;
    MessageCommands* messages = Messages(man);
    if (messages == nullptr) return;
    messages->ClearText(FindNamed(man, object_));
}

// ---- CallHist ----------------------------------------------------------------------------------

void TComCallHist::Load(CommandRecord& record) {
    TCommand::Load(record);
    object_ = TakeField<TKivoParser>(record, "object");
    start_ = TakeField<TKivoParser>(record, "start");
    count_ = TakeField<TKivoParser>(record, "count");
    flag_ = TakeField<TKivoParser>(record, "flag");
}

void TComCallHist::Execute(TCallMan& man) {
    ++man.State().pc;
    MessageCommands* messages = Messages(man);
    if (messages == nullptr) return;
    const ObjectHandle window = FindNamed(man, object_);
    if (!messages->IsMessageWindow(window)) return;
    const std::optional<int32_t> start = man.EvaluateInt(start_);
    if (!start) return;
    const int64_t from = std::max(*start, 0);
    const int64_t size = messages->HistorySize();
    const int64_t count = std::min<int64_t>(man.EvaluateInt(count_).value_or(1), size - from);
    const bool compact = man.EvaluateFlag(flag_).value_or(false);
    if (count <= 0) return;
    messages->ShowHistory(window, static_cast<int32_t>(from), static_cast<int32_t>(count), compact);
}

// ---- ClrHist, ClrRead, FormatHist --------------------------------------------------------------

void TComClrHist::Execute(TCallMan& man) {
    ++man.State().pc;
    if (MessageCommands* messages = Messages(man)) messages->ClearHistory();
}

void TComClrRead::Execute(TCallMan& man) {
    ++man.State().pc;
    if (MessageCommands* messages = Messages(man)) messages->ClearReadMarks();
}

void TComEntryHist::Load(CommandRecord& record) {
    TCommand::Load(record);
    object_ = TakeField<TKivoParser>(record, "object");
}

void TComEntryHist::Execute(TCallMan& man) {
    ++man.State().pc;
    MessageCommands* messages = Messages(man);
    if (messages == nullptr) return;
    if (auto format = messages->HistoryFormatOf(FindNamed(man, object_))) {
        man.Variables().backlogFormat = *format;
    }
}

}  // namespace kivo
