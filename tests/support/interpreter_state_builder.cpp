#include "interpreter_state_builder.h"

#include "page_builder.h"

namespace kivo::test {

namespace {

void PutStrings(ByteBuilder& out, const std::vector<std::string>& strings) {
    out.I32(static_cast<int32_t>(strings.size()));
    for (const std::string& text : strings)
        out.Str(text);
}

void PutFrame(ByteBuilder& out, const SavedFrame& frame) {
    out.Str(frame.page).I32(frame.pc).U8(frame.begun).U8(frame.continueFlag);
    out.Str(frame.resultVariable);
    PutStrings(out, frame.arguments);
    out.Str(frame.sender);
    out.I32(static_cast<int32_t>(frame.runningState.size())).Raw(frame.runningState);
    out.U8(frame.resultType);
    if (frame.resultType != 0) out.Raw(frame.resultValue);
}

}  // namespace

std::vector<uint8_t> WriteInterpreterState(const SavedInterpreter& state, int32_t saveVersion) {
    ByteBuilder out;
    out.Str(state.page).I32(state.pc).U8(state.continueFlag).U8(state.begun).I32(state.mode);
    out.Str(state.sender);
    PutStrings(out, state.arguments);
    PutFrame(out, state.spare);
    out.I32(static_cast<int32_t>(state.stack.size()));
    for (const SavedFrame& frame : state.stack)
        PutFrame(out, frame);
    if (saveVersion >= 116) out.I32(state.level);
    out.Raw(state.runningState);
    return out.Data();
}

std::vector<uint8_t> WaitState(int32_t timeLeft, int32_t firstFrame, bool eventsBlocked,
                               bool withSignature) {
    static constexpr uint8_t kSignature[] = {'k', 'i', 'v', 'o', '1', '0', '0'};
    ByteBuilder out;
    if (withSignature) out.Raw(kSignature);
    out.I32(timeLeft).I32(firstFrame);
    if (withSignature) out.U8(eventsBlocked);
    return out.Data();
}

}  // namespace kivo::test
