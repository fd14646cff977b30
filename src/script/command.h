#pragma once
// Script commands: the base class of every command, the command list of a page and the class
// table that turns a stored type code into a command object. A command is built from its
// stored record and keeps only what it needs to run; the interpreter (TCallMan) drives it
// through begin, execute and the running-state records that let an interrupted command
// resume after an event handler or a saved game.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "base/byte_io.h"
#include "script/page_file.h"
#include "script/vocabulary.h"

namespace kivo {

class TCallMan;

class TCommand {
  public:
    explicit TCommand(CommandCode code) : code_(code) {}
    virtual ~TCommand() = default;
    TCommand(const TCommand&) = delete;
    TCommand& operator=(const TCommand&) = delete;

    [[nodiscard]] CommandCode Code() const { return code_; }
    [[nodiscard]] bool ContinueFlag() const { return continueFlag_; }
    [[nodiscard]] bool Disabled() const { return disabled_; }
    void SetDisabled(bool disabled) { disabled_ = disabled; }
    [[nodiscard]] int32_t LineNumber() const { return line_; }
    [[nodiscard]] int32_t Indent() const { return indent_; }

    // While begun, whether event handlers must wait until the command is left.
    [[nodiscard]] virtual bool BlocksEvents() const { return false; }
    [[nodiscard]] virtual bool MatchesLabel(std::string_view /*name*/) const { return false; }
    // Takes the header and the fields of a stored record, moving them out of it.
    virtual void Load(CommandRecord& record);
    // Runs once when the interpreter first reaches the command (not again while it waits).
    virtual void Begin(TCallMan& /*man*/) {}
    // Runs the command; it moves the program counter (or the page) when it is done.
    virtual void Execute(TCallMan& man) = 0;
    // The running-state record of a begun command; most commands have none.
    virtual void SaveRunningState(ByteWriter& /*writer*/) const {}
    virtual void RestoreRunningState(ByteReader& /*reader*/) {}
    // Finishes at once when a reset discards the command while it is suspended.
    virtual void Abandon(TCallMan& /*man*/) {}
    // Whether reaching this command ends an event handler's run for the frame.
    [[nodiscard]] virtual bool IsWaitPoint() const { return false; }

  private:
    CommandCode code_;
    bool continueFlag_ = false;
    bool disabled_ = false;
    int32_t line_ = 0;
    int32_t indent_ = 0;
};

// A page's commands in file order; the index is the program counter.
using TComList = std::vector<std::unique_ptr<TCommand>>;

// A new command of the class the code stands for, loaded from the record. An unknown code
// raises "不正なコマンド".
[[nodiscard]] std::unique_ptr<TCommand> CreateCommand(CommandRecord& record);

// The running-state signature: "kivo" and the three digits of the record version.
inline constexpr std::string_view kRunningStateSignature = "kivo100";
inline constexpr int32_t kRunningStateVersion = 100;
void WriteRunningStateSignature(ByteWriter& writer);
// Reads the signature and returns its version; a record without "kivo" is read from its start
// as version 0.
[[nodiscard]] int32_t ReadRunningStateVersion(ByteReader& reader);

// Takes a field of a record by name; a field the page's version does not store gives the empty
// value of its type.
template <typename T>
[[nodiscard]] T TakeField(CommandRecord& record, std::string_view name) {
    FieldValue& field = record.Field(name);
    if (T* value = std::get_if<T>(&field)) return std::move(*value);
    return T{};
}

}  // namespace kivo
