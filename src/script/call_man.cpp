#include "script/call_man.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "base/error.h"
#include "base/sjis.h"

namespace kivo {

namespace {

// Error texts of the interpreter.
constexpr std::string_view kStackError = "スタックエラー";
constexpr std::string_view kRebuildMessage = "リビルドしてください";
constexpr std::string_view kWarningCaption = "警告";

}  // namespace

HandlerTarget SplitHandler(std::string_view handler) {
    // Scanning from the end, a colon met before any dot or backslash starts the label. Walking
    // forwards by character keeps a trail byte that looks like one of them out of the way.
    size_t lastMark = std::string_view::npos;
    sjis::ForEachChar(handler, [&](size_t pos, size_t length) {
        char c = handler[pos];
        if (length == 1 && (c == ':' || c == '.' || c == '\\')) lastMark = pos;
    });
    HandlerTarget target;
    std::string_view page = handler;
    if (lastMark != std::string_view::npos && handler[lastMark] == ':') {
        page = handler.substr(0, lastMark);
        target.label = std::string(handler.substr(lastMark + 1));
    }
    // Handlers name their page with any extension; the page itself is always the compiled
    // ksb file. A name without an extension is taken as it stands.
    size_t dot = sjis::FindLastChar(page, '.');
    size_t delimiter = sjis::FindLastDelimiter(page);
    if (dot != std::string_view::npos && (delimiter == std::string_view::npos || dot > delimiter)) {
        target.page = std::string(page.substr(0, dot + 1)) + "ksb";
    } else {
        target.page = std::string(page);
    }
    return target;
}

class TCallMan::FunctionPort final : public InterpreterPort {
  public:
    explicit FunctionPort(TCallMan& interpreter) : interpreter_(interpreter) {}

    [[nodiscard]] bool FileExists(std::string_view name) override {
        return interpreter_.services_.host.FileExists(name);
    }
    [[nodiscard]] bool FileAvailable(std::string_view name) override {
        return interpreter_.services_.host.FileAvailable(name);
    }
    [[nodiscard]] std::vector<uint8_t> LoadFile(std::string_view name) override {
        return interpreter_.services_.host.LoadFile(name);
    }
    // The flow of level n is forgotten: its frame and its locals go, deeper levels move up.
    bool DeleteStackFrame(int32_t n) override {
        InterpreterState& state = interpreter_.state_;
        TParamCollection& variables = interpreter_.services_.variables;
        if (n < 0 || n >= state.Depth()) return false;
        variables.ForgetLevel(n);
        state.stack.erase(state.stack.begin() + n);
        variables.SetCurrentLevel(state.Depth());
        return true;
    }

  private:
    TCallMan& interpreter_;
};

TCallMan::TCallMan(const InterpreterServices& services)
    : services_(services), functionPort_(std::make_unique<FunctionPort>(*this)) {
    services_.context.interpreter = functionPort_.get();
    for (SystemVariable id :
         {SystemVariable::Result, SystemVariable::ParamCount, SystemVariable::ParamStr,
          SystemVariable::Sender, SystemVariable::StackCount}) {
        services_.variables.RegisterProvider(id, this);
    }
}

TCallMan::~TCallMan() {
    for (SystemVariable id :
         {SystemVariable::Result, SystemVariable::ParamCount, SystemVariable::ParamStr,
          SystemVariable::Sender, SystemVariable::StackCount}) {
        if (services_.variables.Provider(id) == this)
            services_.variables.RegisterProvider(id, nullptr);
    }
    // Pages delete their page variable as they go; the state goes first so that the current
    // page is freed with the cache.
    state_ = InterpreterState{};
    pages_.clear();
}

// ---- Page cache -----------------------------------------------------------------------------

std::shared_ptr<TPage> TCallMan::LoadPage(std::string_view name) {
    std::vector<uint8_t> bytes = services_.host.LoadFile(name);
    TParamCollection* variables = &services_.variables;
    // Freeing a page also frees the variable that carries its name behind byte 1.
    auto release = [variables](TPage* page) {
        try {
            (void)variables->Remove("\x01" + page->Name());
        } catch (const std::exception&) {
            // The variable table refuses nothing here; a page is freed in any case.
        }
        delete page;
    };
    std::string pageName(name);
    if (bytes.size() >= 4) {
        int32_t version = static_cast<int32_t>(LoadLE32(bytes.data()));
        if (version < kOldestRunnablePageVersion) {
            // Pages of older editors cannot run; the game must be rebuilt. The page stays empty
            // in the cache so that the message is not repeated.
            services_.player.quitRequest = true;
            std::string text = sjis::ToUtf8(pageName) + "\n" + std::string(kRebuildMessage);
            (void)services_.dialogs.Show(text, kWarningCaption, DialogIcon::Warning,
                                         DialogButtons::Ok);
            return std::shared_ptr<TPage>(new TPage(pageName), release);
        }
    }
    PageFile file = PageFile::Read(bytes, pageName);
    return std::shared_ptr<TPage>(new TPage(pageName, std::move(file)), release);
}

std::shared_ptr<TPage> TCallMan::FetchPage(std::string_view name, bool toFront) {
    auto found =
        std::find_if(pages_.begin(), pages_.end(),
                     [name](const std::shared_ptr<TPage>& page) { return page->Name() == name; });
    if (found != pages_.end()) {
        std::shared_ptr<TPage> page = *found;
        if (toFront) std::rotate(pages_.begin(), found, found + 1);
        return page;
    }
    std::shared_ptr<TPage> page = LoadPage(name);
    if (!toFront) {
        pages_.push_back(page);
        return page;
    }
    pages_.insert(pages_.begin(), page);
    while (pages_.size() > kPageCacheSize && pages_.back() != state_.page)
        pages_.pop_back();
    return page;
}

// ---- Tracing --------------------------------------------------------------------------------

void TCallMan::Trace(std::string_view prefix, std::string_view text, int32_t line) const {
    TraceLine(std::string(prefix) + std::string(text) + "(" + std::to_string(line) + ")");
}

void TCallMan::TraceLine(std::string_view text) const {
    if (!services_.trace.Enabled()) return;
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%.8x", static_cast<uint32_t>(services_.player.gameClock));
    services_.trace.WriteLine(std::string(stamp) + " : " + std::string(text));
}

void TCallMan::TraceError(std::string_view text) const {
    TraceLine("<Error>" + std::string(text));
}

// ---- Execution ------------------------------------------------------------------------------

ExpressionResult TCallMan::Evaluate(const TKivoParser& expr) const {
    return expr.Evaluate(services_.variables, services_.functions, &services_.context);
}

std::optional<int32_t> TCallMan::EvaluateInt(const TKivoParser& expr) const {
    return expr.EvaluateInt(services_.variables, services_.functions, &services_.context);
}

std::optional<bool> TCallMan::EvaluateFlag(const TKivoParser& expr) const {
    return expr.EvaluateFlag(services_.variables, services_.functions, &services_.context);
}

bool TCallMan::ExecuteCommand() {
    InterpreterState& s = state_;
    if (!s.AtCommand()) {
        s.page.reset();
        return false;
    }
    bool waitPoint = false;
    // The command's page is held while it runs: a command that replaces the current page
    // must not free the code it is executing.
    std::shared_ptr<TPage> running = s.page;
    const int32_t pcBefore = s.pc;
    try {
        TCommand& command = running->Command(s.pc);
        if (services_.trace.Enabled() &&
            (lastTracedPage_.lock() != s.page || lastTracedPc_ != s.pc)) {
            Trace("", s.page->Name(), command.LineNumber());
            lastTracedPage_ = s.page;
            lastTracedPc_ = s.pc;
            lastTracedError_.clear();
        }
        if (!s.begun) {
            if (command.Disabled()) {
                ++s.pc;
                return false;
            }
            command.Begin(*this);
            s.begun = true;
        }
        s.continueFlag = command.ContinueFlag();
        waitPoint = command.IsWaitPoint();
        command.Execute(*this);
        if (s.page != running || s.pc != pcBefore) s.begun = false;
    } catch (const std::exception& error) {
        // A failing command simply ends; the state stays as the error left it. Most commands
        // move pc before they can fail, and the script goes on with the next one. One that
        // failed where it stands would be run again at once, for ever, under a continue flag
        // or inside an event handler: it ends the frame's run instead, like a wait point with
        // its flag off, and is tried again next frame. Its error is traced once, not once a
        // frame, just as the command's own line is.
        if (s.page == running && s.pc == pcBefore) {
            s.continueFlag = false;
            waitPoint = true;
        }
        if (error.what() != lastTracedError_) {
            TraceError(error.what());
            lastTracedError_ = error.what();
        }
    }
    return waitPoint;
}

int32_t TCallMan::RunStep() {
    InterpreterState& s = state_;
    int32_t result = kStepNone;
    if (s.page) {
        result = ExecuteCommand() ? kStepWaitPoint : kStepNone;
        if (s.page) return result;
    }
    if (s.stack.empty()) {
        // The script is over (or there was none): nothing runs until the next Start, and the
        // frame ends here instead of spinning on an empty flow.
        s.continueFlag = false;
        if (!s.page && s.mode != EventMode::Normal) {
            // A handler mode with nothing left to return to (only a damaged saved state gets
            // here) would spin for ever; the flow goes back to normal instead.
            s.mode = EventMode::Normal;
            s.level = 2;
            services_.events.RemoveStarted();
        }
        return result;
    }
    ReturnFromCall();
    if (s.sender.IsNull()) return kStepReturned;
    return result == kStepNone ? kStepReturnedFromEvent : result;
}

void TCallMan::ReturnFromCall() {
    InterpreterState& s = state_;
    TParamCollection& variables = services_.variables;
    variables.DeleteLevel(s.Depth());
    if (s.stack.empty()) throw KivoError(std::string(kStackError));
    s.spare = std::move(s.stack.back());
    s.stack.pop_back();
    variables.SetCurrentLevel(s.Depth());
    TStack& frame = s.spare;
    if (!frame.resultVariable.empty() && frame.result) {
        if (TParamCollectionItem* target = variables.Find(frame.resultVariable)) {
            try {
                target->Value().AssignValue(*frame.result);
            } catch (const std::exception& error) {
                TraceError(error.what());
            }
        }
    }
    s.page.reset();
    if (!frame.pageName.empty()) {
        // The caller's page may have left the cache and be gone or damaged since; the flow
        // then ends quietly instead of the error escaping the interpreter.
        try {
            s.page = FetchPage(frame.pageName, true);
        } catch (const std::exception& error) {
            TraceError(error.what());
        }
    }
    s.pc = frame.pc;
    s.begun = frame.begun;
    s.continueFlag = frame.continueFlag;
    s.arguments = std::move(frame.arguments);
    s.sender = frame.sender;
    if (!frame.savedState.empty() && s.AtCommand()) {
        ByteReader reader(frame.savedState, "running state");
        try {
            s.page->Command(s.pc).RestoreRunningState(reader);
        } catch (const std::exception& error) {
            TraceError(error.what());
        }
    }
}

TStack TCallMan::LeaveCurrentFlow() {
    InterpreterState& s = state_;
    TStack frame;
    frame.pageName = s.page ? s.page->Name() : std::string();
    frame.pc = s.pc;
    frame.arguments = std::move(s.arguments);
    frame.sender = s.sender;
    frame.continueFlag = s.continueFlag;
    return frame;
}

TStack TCallMan::SuspendCurrentFlow() {
    InterpreterState& s = state_;
    TStack frame = LeaveCurrentFlow();
    frame.begun = s.begun;
    if (s.begun && s.AtCommand()) {
        ByteWriter writer;
        s.page->Command(s.pc).SaveRunningState(writer);
        frame.savedState = writer.Take();
    }
    return frame;
}

void TCallMan::PushFrame(TStack frame) {
    state_.stack.push_back(std::move(frame));
    services_.variables.SetCurrentLevel(state_.Depth());
}

void TCallMan::SetStack(std::vector<TStack> stack) {
    state_.stack = std::move(stack);
    services_.variables.SetCurrentLevel(state_.Depth());
}

bool TCallMan::CheckEvent(int32_t level) {
    InterpreterState& s = state_;
    if (s.begun && s.AtCommand() && s.page->Command(s.pc).BlocksEvents()) return false;
    TTimerData* entry = services_.events.FirstPending();
    if (entry == nullptr) return false;
    HandlerTarget target = SplitHandler(entry->handler);
    std::shared_ptr<TPage> page;
    try {
        if (services_.host.FileAvailable(target.page)) page = FetchPage(target.page, true);
    } catch (const std::exception& error) {
        TraceError(error.what());
    }
    if (!page) {
        // A handler that cannot run would stay first in the queue and hold back every later
        // event for the rest of the game; it is dropped instead.
        TraceLine("<Dropped>" + entry->handler);
        services_.events.Remove(entry);
        return false;
    }

    PushFrame(SuspendCurrentFlow());

    s.page = std::move(page);
    int32_t labelIndex = target.label.empty() ? -1 : s.page->IndexOfLabel(target.label);
    s.pc = labelIndex >= 0 ? labelIndex : 0;
    if (services_.trace.Enabled()) {
        Trace("<Event>", s.page->Name(), s.AtCommand() ? s.page->Command(s.pc).LineNumber() : 0);
    }
    s.begun = false;
    entry->level = level;
    s.arguments = entry->arguments;
    s.sender = entry->sender;
    s.mode = EventMode::Handler;
    return true;
}

void TCallMan::RunFrame() {
    InterpreterState& s = state_;
    TTimerList& events = services_.events;
    // After the run, objects learn whether the command the script stands at holds their
    // events back (a window waiting for its play-start handler must not wait on it then).
    struct ReportBlocked {
        const InterpreterState& state;
        TTimerList& events;
        ~ReportBlocked() {
            events.SetBlocked(state.begun && state.AtCommand() &&
                              state.page->Command(state.pc).BlocksEvents());
        }
    } reportBlocked{s, events};
    do {
        switch (s.mode) {
            case EventMode::Normal:
                if (!CheckEvent(1)) (void)RunStep();
                break;
            case EventMode::Handler: {
                int32_t result = RunStep();
                if (result == kStepReturned) {
                    events.RemoveLevel(1);
                    s.mode = EventMode::Normal;
                    s.continueFlag = true;
                } else if (result == kStepWaitPoint) {
                    s.level = 2;
                    s.mode = EventMode::HandlerWaiting;
                    return;
                } else if (s.mode != EventMode::Handler) {
                    s.continueFlag = true;
                }
                break;
            }
            case EventMode::HandlerWaiting:
                if (CheckEvent(s.level)) {
                    ++s.level;
                    s.mode = EventMode::Nested;
                } else {
                    s.mode = s.level > 2 ? EventMode::Nested : EventMode::Handler;
                }
                break;
            case EventMode::Nested: {
                int32_t result = RunStep();
                if (result == kStepReturned || result == kStepReturnedFromEvent) {
                    --s.level;
                    events.RemoveLevel(s.level);
                    if (s.level <= 2) s.mode = EventMode::HandlerWaiting;
                } else if (result == kStepWaitPoint) {
                    s.mode = EventMode::HandlerWaiting;
                    return;
                }
                break;
            }
        }
        // The quit request is tested between commands, so that a script caught in an endless
        // loop still lets the player close.
    } while ((s.continueFlag || s.mode != EventMode::Normal) && !services_.player.QuitRequested());
}

void TCallMan::Start(std::string_view pageName) {
    std::shared_ptr<TPage> page = FetchPage(pageName, true);
    InterpreterState& s = state_;
    s.page = std::move(page);
    s.pc = 0;
    s.begun = false;
    s.arguments.clear();
    s.mode = EventMode::Normal;
    SetStack({});
    s.sender = ObjectHandle{};
    services_.events.RemoveLevels(1, s.level);
    s.level = 2;
}

void TCallMan::CallPage(std::shared_ptr<TPage> page, int32_t pc, std::string resultVariable,
                        std::vector<std::string> arguments) {
    InterpreterState& s = state_;
    TStack frame = LeaveCurrentFlow();
    frame.resultVariable = std::move(resultVariable);
    frame.result = CreateParam(page->ResultType());
    PushFrame(std::move(frame));
    s.arguments = std::move(arguments);
    s.page = std::move(page);
    s.pc = pc;
}

void TCallMan::EnterResumePage(std::string_view pageName, int32_t resumeIndex) {
    InterpreterState& s = state_;
    std::shared_ptr<TPage> page = FetchPage(pageName, true);
    if (s.page) {
        PushFrame(SuspendCurrentFlow());
    }
    s.page = std::move(page);
    s.begun = false;
    if (resumeIndex > 0) s.pc = resumeIndex;
}

void TCallMan::ResetTo(std::string_view pageName, int32_t pc, bool full) {
    InterpreterState& s = state_;
    TParamCollection& variables = services_.variables;
    if (full) {
        for (int32_t level = s.Depth(); level >= 0; --level)
            variables.DeleteLevel(level);
        // Suspended commands of the main flow (a transition half done) finish at once.
        for (auto frame = s.stack.rbegin(); frame != s.stack.rend(); ++frame) {
            if (!frame->sender.IsNull() || !frame->begun || frame->pageName.empty()) continue;
            std::shared_ptr<TPage> page = FetchPage(frame->pageName, false);
            if (page->Contains(frame->pc)) page->Command(frame->pc).Abandon(*this);
        }
        Start(pageName);
        s.pc = pc;
        services_.events.Clear();
        return;
    }

    variables.DeleteLevel(s.Depth());
    // The first frame pushed from inside an event handler; below it lies the frame of the
    // main flow that the event interrupted.
    std::optional<int32_t> eventPosition;
    for (int32_t i = 0; i < s.Depth(); ++i) {
        if (!s.stack[static_cast<size_t>(i)].sender.IsNull()) {
            eventPosition = i;
            break;
        }
    }
    if (!eventPosition && s.mode != EventMode::Normal && !SenderName().empty()) {
        eventPosition = s.Depth();
    }
    bool redirected = false;
    if (eventPosition) {
        for (int32_t i = *eventPosition - 1; i >= 0; --i) {
            TStack& frame = s.stack[static_cast<size_t>(i)];
            if (!frame.sender.IsNull()) continue;
            frame.pageName = std::string(pageName);
            frame.pc = pc;
            frame.begun = false;
            frame.resultVariable.clear();
            frame.arguments.clear();
            frame.savedState.clear();
            frame.result.reset();
            // The levels stacked above the redirected flow belong to what it was running.
            for (int32_t level = s.Depth(); level > i; --level)
                variables.DeleteLevel(level);
            ++s.pc;
            redirected = true;
            break;
        }
    }
    if (!redirected) {
        s.page = FetchPage(pageName, true);
        s.pc = pc;
    }
    services_.events.RemoveStarted();
}

void TCallMan::ResetGame(std::string_view pageName, int32_t pc) {
    services_.host.ResetWorld();
    services_.variables.Reset();
    Start(pageName);
    state_.pc = pc;
}

// ---- Arguments, sender, result --------------------------------------------------------------

std::string TCallMan::Argument(int32_t index) const {
    if (index < 0 || index >= ArgumentCount()) return {};
    return state_.arguments[static_cast<size_t>(index)];
}

std::string TCallMan::NameOf(ObjectHandle handle) const {
    if (handle.IsNull() || services_.objects == nullptr) return {};
    return services_.objects->NameOf(handle).value_or(std::string());
}

ObjectHandle TCallMan::FindObject(std::string_view name) const {
    if (name.empty() || services_.objects == nullptr) return {};
    return services_.objects->FindByName(name);
}

std::string TCallMan::SenderName() const {
    if (state_.mode == EventMode::Normal) return {};
    return NameOf(state_.sender);
}

TCustomParam* TCallMan::ResultHolder() const {
    return state_.stack.empty() ? nullptr : state_.stack.back().result.get();
}

SystemValue TCallMan::Read(SystemVariable id, int32_t element) const {
    if (id == SystemVariable::ParamCount) return ArgumentCount();
    if (id == SystemVariable::ParamStr) return element < 0 ? std::string() : Argument(element);
    if (id == SystemVariable::Sender) return SenderName();
    if (id == SystemVariable::StackCount) return state_.Depth();
    // @Result without a running call, the only other variable registered here.
    return int32_t{0};
}

int32_t TCallMan::ElementCount(SystemVariable id) const {
    return id == SystemVariable::ParamStr ? ArgumentCount() : 1;
}

TCustomParam* TCallMan::Holder(SystemVariable id) const {
    return id == SystemVariable::Result ? ResultHolder() : nullptr;
}

// ---- Saved state ----------------------------------------------------------------------------

void TCallMan::SaveFrame(ByteWriter& writer, const TStack& frame) const {
    writer.WriteCountedString(frame.pageName);
    writer.WriteI32(frame.pc);
    writer.WriteBool(frame.begun);
    writer.WriteBool(frame.continueFlag);
    writer.WriteCountedString(frame.resultVariable);
    writer.WriteCountedStrings(frame.arguments);
    writer.WriteCountedString(NameOf(frame.sender));
    writer.WriteI32(static_cast<int32_t>(frame.savedState.size()));
    writer.WriteBytes(frame.savedState);
    if (frame.result) {
        writer.WriteU8(TParamCollection::StreamType(*frame.result));
        frame.result->Save(writer);
    } else {
        writer.WriteU8(0);
    }
}

TStack TCallMan::LoadFrame(ByteReader& reader) const {
    TStack frame;
    frame.pageName = reader.ReadCountedString();
    frame.pc = reader.ReadI32();
    frame.begun = reader.ReadBool();
    frame.continueFlag = reader.ReadBool();
    frame.resultVariable = reader.ReadCountedString();
    frame.arguments = reader.ReadCountedStrings();
    frame.sender = FindObject(reader.ReadCountedString());
    uint32_t stateSize = reader.ReadCount(1);
    std::span<const uint8_t> savedState = reader.ReadBytes(stateSize);
    frame.savedState.assign(savedState.begin(), savedState.end());
    uint8_t resultType = reader.ReadU8();
    if (resultType != 0) {
        frame.result = CreateParam(resultType);
        if (!frame.result || resultType > PT_STR) reader.Fail("bad result type");
        frame.result->Load(reader);
    }
    return frame;
}

void TCallMan::SaveState(ByteWriter& writer) const {
    const InterpreterState& s = state_;
    writer.WriteCountedString(s.page ? s.page->Name() : std::string());
    writer.WriteI32(s.pc);
    writer.WriteBool(s.continueFlag);
    writer.WriteBool(s.begun);
    writer.WriteI32(static_cast<int32_t>(s.mode));
    writer.WriteCountedString(NameOf(s.sender));
    writer.WriteCountedStrings(s.arguments);
    SaveFrame(writer, s.spare);
    writer.WriteI32(s.Depth());
    for (const TStack& frame : s.stack)
        SaveFrame(writer, frame);
    writer.WriteI32(s.level);
    if (s.begun && s.AtCommand()) s.page->Command(s.pc).SaveRunningState(writer);
}

void TCallMan::LoadState(ByteReader& reader, int32_t saveVersion) {
    InterpreterState loaded;
    std::string pageName = reader.ReadCountedString();
    loaded.pc = reader.ReadI32();
    loaded.continueFlag = reader.ReadBool();
    loaded.begun = reader.ReadBool();
    int32_t mode = reader.ReadI32();
    if (mode < 0 || mode > 3) reader.Fail("bad event mode");
    loaded.mode = static_cast<EventMode>(mode);
    loaded.sender = FindObject(reader.ReadCountedString());
    loaded.arguments = reader.ReadCountedStrings();
    loaded.spare = LoadFrame(reader);
    // A frame takes at least 26 bytes of the stream.
    uint32_t depth = reader.ReadCount(26);
    loaded.stack.reserve(depth);
    for (uint32_t i = 0; i < depth; ++i)
        loaded.stack.push_back(LoadFrame(reader));
    loaded.level = saveVersion >= kSaveVersionEventLevel ? reader.ReadI32() : 2;
    if (!pageName.empty()) loaded.page = FetchPage(pageName, true);
    if (loaded.begun && loaded.AtCommand())
        loaded.page->Command(loaded.pc).RestoreRunningState(reader);
    state_ = std::move(loaded);
    services_.variables.SetCurrentLevel(state_.Depth());
}

}  // namespace kivo
