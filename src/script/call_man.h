#pragma once
// The interpreter: runs scenario pages frame by frame. Once per frame the project asks it to
// run; it executes commands of the current page until one ends the frame, and between commands
// it starts the event handlers that scene objects have queued. Pages call other pages like
// functions, with string arguments, a typed result and page-local variables, on one call
// stack that event handlers share.
//
// Everything that describes where the script is (page, program counter, call stack, event
// mode and level) lives in one plain struct, InterpreterState: saving writes it, loading
// replaces it. The page cache beside it keeps the ten most recently used pages.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_io.h"
#include "base/player_state.h"
#include "platform/dialogs.h"
#include "platform/trace_sink.h"
#include "scene/object_handle.h"
#include "scene/timer_list.h"
#include "script/expression.h"
#include "script/page.h"
#include "script/param_collection.h"
#include "script/script_context.h"

namespace kivo {

class SystemFunctionRegistry;

// What the interpreter asks of the project it runs in.
class ScriptHost {
  public:
    virtual ~ScriptHost() = default;
    // Whether the virtual file system holds the name, asking for no disc.
    [[nodiscard]] virtual bool FileExists(std::string_view name) = 0;
    // Whether a page or media file can be had, asking for a data disc when one holds it.
    [[nodiscard]] virtual bool FileAvailable(std::string_view name) = 0;
    // The bytes of a file; raises the missing-file error.
    [[nodiscard]] virtual std::vector<uint8_t> LoadFile(std::string_view name) = 0;
    // Empties the scene, the data tables and the backlog for the Reset command.
    virtual void ResetWorld() = 0;
};

struct InterpreterServices {
    PlayerState& player;
    TParamCollection& variables;
    const SystemFunctionRegistry& functions;
    TTimerList& events;
    MessageDialogs& dialogs;
    TraceSink& trace;
    ScriptHost& host;
    // What commands and system functions reach the scene, media, saves, random numbers and the
    // calendar through.
    ScriptContext context;
    // Names of the senders of events; without a scene no sender exists.
    const ObjectDirectory* objects = nullptr;
};

// Event nesting: 0 normal flow; 1 a handler started from normal flow; 2 a handler reached a
// wait point (each frame looks for a newer event to nest); 3 a nested handler runs.
enum class EventMode : int32_t { Normal = 0, Handler = 1, HandlerWaiting = 2, Nested = 3 };

// One call-stack frame: where to return to and what to restore there.
struct TStack {
    std::string pageName;  // empty when the interrupted flow had no page left
    int32_t pc = 0;
    bool begun = false;
    std::string resultVariable;  // Call only
    std::vector<std::string> arguments;
    ObjectHandle sender;
    bool continueFlag = false;
    std::vector<uint8_t> savedState;       // running state of the interrupted command; empty: none
    std::unique_ptr<TCustomParam> result;  // the callee's @Result (Call only)
};

struct InterpreterState {
    std::shared_ptr<TPage> page;  // none: nothing to run
    int32_t pc = 0;
    bool continueFlag = false;
    bool begun = false;  // the command at pc has begun and not yet been left
    std::vector<std::string> arguments;
    EventMode mode = EventMode::Normal;
    ObjectHandle sender;
    int32_t level = 2;
    std::vector<TStack> stack;
    TStack spare;  // the frame popped last; saved games carry it

    [[nodiscard]] int32_t Depth() const { return static_cast<int32_t>(stack.size()); }
    [[nodiscard]] bool AtCommand() const { return page && page->Contains(pc); }
};

// Save versions of the interpreter state record that added fields.
inline constexpr int32_t kSaveVersionEventLevel = 116;
inline constexpr size_t kPageCacheSize = 10;

class TCallMan final : public SystemVariableProvider {
  public:
    explicit TCallMan(const InterpreterServices& services);
    ~TCallMan() override;
    TCallMan(const TCallMan&) = delete;
    TCallMan& operator=(const TCallMan&) = delete;

    // Runs the page from its first command in normal flow, with an empty call stack.
    void Start(std::string_view pageName);
    // Runs commands until one ends the frame (or the quit request is set).
    void RunFrame();

    [[nodiscard]] InterpreterState& State() { return state_; }
    [[nodiscard]] const InterpreterState& State() const { return state_; }

    [[nodiscard]] int32_t ArgumentCount() const {
        return static_cast<int32_t>(state_.arguments.size());
    }
    // The argument, or empty outside 0 ... count - 1.
    [[nodiscard]] std::string Argument(int32_t index) const;
    // The running event's sender while it is still in the scene, else empty.
    [[nodiscard]] std::string SenderName() const;
    // The @Result holder of the innermost call, or nullptr.
    [[nodiscard]] TCustomParam* ResultHolder() const;

    // The interpreter state record of a saved game.
    void SaveState(ByteWriter& writer) const;
    // Replaces the state with a saved one; damaged data raises an error and keeps the state.
    void LoadState(ByteReader& reader, int32_t saveVersion);

    // After a saved game was restored: the page it resumes at runs first, as if called from
    // where the game stood (that place, when there is one, is pushed as a frame without a
    // result variable), from command resumeIndex when above 0 and otherwise from the restored
    // program counter. A missing page raises the missing-file error.
    void EnterResumePage(std::string_view pageName, int32_t resumeIndex);

    // The named page from the cache, loading it on a miss. toFront moves it (or puts the new
    // page) at the front and trims the cache; otherwise a new page goes to the back.
    [[nodiscard]] std::shared_ptr<TPage> FetchPage(std::string_view name, bool toFront);
    [[nodiscard]] const std::vector<std::shared_ptr<TPage>>& CachedPages() const { return pages_; }

    // ---- For commands ----

    [[nodiscard]] PlayerState& Player() const { return services_.player; }
    [[nodiscard]] TParamCollection& Variables() const { return services_.variables; }
    [[nodiscard]] ScriptHost& Host() const { return services_.host; }
    [[nodiscard]] const ScriptContext& Context() const { return services_.context; }
    [[nodiscard]] ExpressionResult Evaluate(const TKivoParser& expr) const;
    [[nodiscard]] std::optional<int32_t> EvaluateInt(const TKivoParser& expr) const;
    [[nodiscard]] std::optional<bool> EvaluateFlag(const TKivoParser& expr) const;
    // A condition holds when the expression yields a value that reads as a true flag.
    [[nodiscard]] bool IsTrue(const TKivoParser& expr) const {
        return EvaluateFlag(expr).value_or(false);
    }
    [[nodiscard]] bool FileAvailable(std::string_view name) const {
        return services_.host.FileAvailable(name);
    }
    // Enters a called page: the caller's place is kept in a frame and the callee gets a fresh
    // @Result of its page's result type.
    void CallPage(std::shared_ptr<TPage> page, int32_t pc, std::string resultVariable,
                  std::vector<std::string> arguments);
    // Ends the current page; the run step then returns from the call or stops the script.
    void EndPage() { state_.page.reset(); }
    // PCReset: moves the main flow (or, with full, everything) to page at pc.
    void ResetTo(std::string_view pageName, int32_t pc, bool full);
    // Reset: the whole game starts again at page and pc.
    void ResetGame(std::string_view pageName, int32_t pc);

    // ---- SystemVariableProvider: @Result, @ParamCount, @ParamStr, @Sender, @StackCount ----

    [[nodiscard]] SystemValue Read(SystemVariable id, int32_t element) const override;
    [[nodiscard]] int32_t ElementCount(SystemVariable id) const override;
    [[nodiscard]] TCustomParam* Holder(SystemVariable id) const override;

  private:
    // The files and the call stack as the system functions reach them.
    class FunctionPort;

    // Result of one run step: an event handler returned to normal flow (1) or to another
    // handler or call (-1), the command was a wait point (2), or nothing of note (0).
    enum StepResult : int32_t {
        kStepReturnedFromEvent = -1,
        kStepNone = 0,
        kStepReturned = 1,
        kStepWaitPoint = 2
    };

    // Executes the command at pc; true when it was a wait point.
    bool ExecuteCommand();
    [[nodiscard]] int32_t RunStep();
    // Pops the top frame and continues the caller.
    void ReturnFromCall();
    // Starts the first pending event at level; false when none started.
    bool CheckEvent(int32_t level);
    // A frame holding where the current flow stands (page, pc, arguments, sender, continue
    // flag), to be pushed before another flow takes over; the arguments move into it.
    [[nodiscard]] TStack LeaveCurrentFlow();
    // The same for a flow that resumes in the middle of its command: whether the command had
    // begun, and its running state.
    [[nodiscard]] TStack SuspendCurrentFlow();
    void PushFrame(TStack frame);
    void SetStack(std::vector<TStack> stack);
    [[nodiscard]] std::shared_ptr<TPage> LoadPage(std::string_view name);
    void Trace(std::string_view prefix, std::string_view text, int32_t line) const;
    // Lines beyond the command and event lines: dropped events and swallowed errors.
    void TraceLine(std::string_view text) const;
    void TraceError(std::string_view text) const;

    void SaveFrame(ByteWriter& writer, const TStack& frame) const;
    [[nodiscard]] TStack LoadFrame(ByteReader& reader) const;
    [[nodiscard]] std::string NameOf(ObjectHandle handle) const;
    [[nodiscard]] ObjectHandle FindObject(std::string_view name) const;

    InterpreterServices services_;
    InterpreterState state_;
    std::unique_ptr<FunctionPort> functionPort_;
    std::vector<std::shared_ptr<TPage>> pages_;  // most recently used first
    // The command traced last, so that a command waiting many frames is traced once.
    std::weak_ptr<const TPage> lastTracedPage_;
    int32_t lastTracedPc_ = -1;
    // The error that command raised last, so that a command failing again each frame where it
    // stands is traced once.
    std::string lastTracedError_;
};

// Splits an event handler string "page.ext:label" into the page file (its extension replaced
// by "ksb") and the label (empty when none).
struct HandlerTarget {
    std::string page;
    std::string label;
};
[[nodiscard]] HandlerTarget SplitHandler(std::string_view handler);

}  // namespace kivo
