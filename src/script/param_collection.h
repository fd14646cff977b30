#pragma once
// The variable table: every named script variable of the run, the 50 "@" system variables
// first, then the game's, project and status variables in creation order. Names compare
// ignoring ASCII case. A local variable is seen only at the call level that declared it and
// hides a global of the same name there.
//
// Used by the interpreter (declaration, lookup, levels, reset), by expressions (lookup,
// temporaries), by the system functions and by saving (the stream forms below).

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "base/byte_io.h"
#include "base/player_state.h"
#include "platform/calendar.h"
#include "platform/clock.h"
#include "script/param.h"
#include "script/vocabulary.h"
#include "storage/hash_collection.h"

namespace kivo {

class TParamCollection;

// A variable: a name and an owned value, with its scope flags.
class TParamCollectionItem : public THashCollectionItem {
  public:
    explicit TParamCollectionItem(std::unique_ptr<TCustomParam> value, bool system = false);
    ~TParamCollectionItem() override;

    // Names must not be empty, contain a blank or start with a digit
    // ("\"name\"：変数名が不正です" otherwise).
    void SetName(std::string name) override;
    [[nodiscard]] static bool IsValidName(std::string_view name);

    [[nodiscard]] TCustomParam& Value() const { return *value_; }
    [[nodiscard]] bool IsSystem() const { return system_; }
    // The handle that references hold; it is cleared when this variable is destroyed. Made on
    // first use: most variables (and every temporary) are never the target of a reference.
    [[nodiscard]] const std::shared_ptr<VariableAnchor>& Anchor() const;

    bool local = false;    // visible only at its level
    bool status = false;   // persists across games: status data, survives load and reset
    int32_t level = -1;    // call depth at creation for auto-destroy and local variables
    uint8_t reserved = 0;  // kept and saved unchanged

  private:
    std::unique_ptr<TCustomParam> value_;
    mutable std::shared_ptr<VariableAnchor> anchor_;
    bool system_;
};

// The system variables, by their index in the "@" names table.
enum class SystemVariable : uint8_t {
    Result,
    LClick,
    RClick,
    LPush,
    RPush,
    MouseX,
    MouseY,
    TextDelay,
    HistoryCount,
    ParamCount,
    ParamStr,
    Sender,
    ScrWidth,
    ScrHeight,
    TickCount,
    PCTickCount,
    UpdateCount,
    Year,
    Month,
    Day,
    Week,
    Hour,
    Min,
    Sec,
    Fonts,
    FixedFonts,
    FullScr,
    Cursor,
    SelStr,
    SelIndex,
    Pi,
    CGDither,
    OneHour,
    OneMin,
    OneSec,
    KeyPush,
    KeyClick,
    DisplayModeCount,
    DisplayModeIndex,
    Title,
    SoundON,
    ActiveCompo,
    KeyRepeat,
    HistoryMaxCount,
    Temp,
    MidiPort,
    MidiPorts,
    WheelDown,
    WheelUp,
    StackCount
};

// A system variable's reading in its native type.
using SystemValue = std::variant<int32_t, Extended, bool, std::string>;

// The subsystem that owns a system variable's data answers for it (the scene for the mouse and
// keys, the interpreter for @Result and the call arguments, the backlog, the screen manager
// ...). Providers are registered on the table and must outlive it or be unregistered. Until a
// provider is registered the variable reads its default.
class SystemVariableProvider {
  public:
    virtual ~SystemVariableProvider() = default;
    // element is -1 for the plain reading, otherwise an element index already checked
    // against ElementCount. The value must be of the variable's native type.
    [[nodiscard]] virtual SystemValue Read(SystemVariable id, int32_t element) const = 0;
    // A script's write to a writable variable, converted to the native type.
    virtual void Write(SystemVariable id, const SystemValue& value);
    // Elements of the array variables (the key arrays, @ParamStr, @MidiPorts).
    [[nodiscard]] virtual int32_t ElementCount(SystemVariable id) const;
    // For a variable that stands for another value (@Result: the running call's result
    // holder), that value; nullptr reads the default.
    [[nodiscard]] virtual TCustomParam* Holder(SystemVariable id) const;
};

// The value of a system variable: every reading and writing goes through the table to the
// provider or to the value the table keeps itself.
class TParamSystem : public TCustomParam {
  public:
    TParamSystem(TParamCollection& owner, SystemVariable id) : owner_(owner), id_(id) {}

    [[nodiscard]] SystemVariable Id() const { return id_; }

    [[nodiscard]] int32_t ElementCount() const override;
    void SetElementCount(int32_t count) override;
    [[nodiscard]] ValueType Type() const override;
    [[nodiscard]] bool AsFlag() const override;
    [[nodiscard]] Extended AsFloat() const override;
    [[nodiscard]] int32_t AsInteger() const override;
    [[nodiscard]] std::string AsString() const override;
    void SetFlag(bool value) override;
    void SetFloat(Extended value) override;
    void SetInteger(int32_t value) override;
    void SetString(std::string_view value) override;
    [[nodiscard]] int32_t IntAt(int32_t index) const override;
    void SetIntAt(int32_t index, int32_t value) override;
    [[nodiscard]] Extended FloatAt(int32_t index) const override;
    void SetFloatAt(int32_t index, Extended value) override;
    [[nodiscard]] bool FlagAt(int32_t index) const override;
    void SetFlagAt(int32_t index, bool value) override;
    [[nodiscard]] std::string StringAt(int32_t index) const override;
    void SetStringAt(int32_t index, std::string_view value) override;
    [[nodiscard]] int32_t DimensionCount() const override;
    [[nodiscard]] int32_t DimensionSize(int32_t i) const override;
    void CopyFrom(const TCustomParam& source) override;
    void SetDimensions(std::span<const int32_t> sizes) override;
    // System variables are never part of save data.
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader) override;
    void MakeSingle() override {}

  private:
    // The value reads and writes are forwarded to (@Result's holder, @Temp's variable).
    [[nodiscard]] TCustomParam* Forward() const;
    [[nodiscard]] SystemValue Read(int32_t element) const;
    void Write(const SystemValue& value);

    TParamCollection& owner_;
    SystemVariable id_;
};

// Result of declaring a variable (VarNew).
struct Declaration {
    TParamCollectionItem* variable = nullptr;
    // False when an existing status variable was found: status variables are initialised once.
    bool initialise = false;
};

// Save versions of the game variable list: the one written, and those that added fields.
inline constexpr int32_t kSaveVersionCurrent = 134;
inline constexpr int32_t kSaveVersionSelection = 103;      // selection string and index
inline constexpr int32_t kSaveVersionBacklogFormat = 113;  // the six backlog format values
inline constexpr int32_t kSaveVersionTempAlias = 121;      // the @Temp alias name

// Every variable in table order: for (int32_t i = 0; i < vars.Count(); ++i) vars.At(i); the
// first kSystemVariableCount are the system variables.
class TParamCollection : public HashCollection<TParamCollectionItem> {
  public:
    // state supplies the game clock and frame counter (@TickCount, @UpdateCount, and the frame
    // of the last date reading), clock the millisecond counter (@PCTickCount) and calendar the
    // date and time (@Year ... @Sec). Each reads 0 without its source, and without a state the
    // date is read again on every access. The sources outlive the table.
    explicit TParamCollection(const PlayerState* state = nullptr, Clock* clock = nullptr,
                              Calendar* calendar = nullptr);
    ~TParamCollection() override;

    // ---- Lookup and declaration ----

    // Index of the variable a script sees under name: a local of the current level at once,
    // otherwise the oldest non-local of that name; locals of other levels are invisible.
    [[nodiscard]] int32_t IndexOf(std::string_view name) const override;
    // Find (name) from HashCollection uses this lookup.
    // With local: the local variable of that name at the current level; without: the
    // non-local one a lookup would see.
    [[nodiscard]] TParamCollectionItem* FindForDeclaration(std::string_view name, bool local) const;
    // Appends a new variable with an empty value of type (PT_NONE makes an unbound
    // reference), level -1. Fails without changing the table for a bad name or type.
    TParamCollectionItem& Create(std::string name, int32_t type);
    // VarNew's table work: finds the variable (local for kScopeLocal) or creates it with type;
    // auto-destroy and local variables get the current level, status ones the status mark.
    Declaration Declare(std::string_view name, int32_t type, VariableScope scope);
    // VarNew's initial value: read by the declared type, then stored into the variable, which
    // converts again to its own type.
    static void StoreDeclared(TCustomParam& variable, int32_t declaredType,
                              const TCustomParam& value);
    // A project-file variable: created with type and marked status unless a variable of that
    // name exists already (then nullptr: the stored value is kept).
    TParamCollectionItem* DeclareProjectVariable(std::string name, int32_t type);
    // VarDel: deletes the variable a lookup sees; system variables are never deleted.
    bool Remove(std::string_view name);
    // Deletes every variable created at level (a call at that depth returned).
    void DeleteLevel(int32_t level);
    // A call-stack frame was dropped (DeleteStack): the local variables of its level go and
    // every variable of a deeper level moves up one level.
    void ForgetLevel(int32_t level);
    // A new value of the variable's type holding a copy of it ("%s:不正な変数です" for a
    // variable that is not of type 1 to 4).
    [[nodiscard]] std::unique_ptr<TCustomParam> ValueCopy(std::string_view name) const;
    // The Reset command: deletes the game variables (neither system nor status) and restores
    // the text delay, cursor and backlog format values.
    void Reset();

    [[nodiscard]] int32_t CurrentLevel() const { return currentLevel_; }
    void SetCurrentLevel(int32_t level) { currentLevel_ = level; }

    // ---- Values kept by the table ----

    int32_t textDelay = 50;
    std::string cursorName;
    std::string selectionString;
    int32_t selectionIndex = 0;
    std::string tempAlias;  // the variable @Temp stands for
    std::array<int32_t, 6> backlogFormat{};
    // How many Calc calls are running inside one another (Calc's text may call Calc).
    int32_t calcNesting = 0;

    // ---- System variables ----

    void RegisterProvider(SystemVariable id, SystemVariableProvider* provider);
    [[nodiscard]] SystemVariableProvider* Provider(SystemVariable id) const;
    [[nodiscard]] const PlayerState* State() const { return state_; }

    // ---- Stream forms ----

    // Variable record: name, value, status, local, level, reserved.
    static void SaveRecord(ByteWriter& writer, const TParamCollectionItem& variable);
    // Reads a record into a new variable of type; nullptr for a record with an empty name.
    [[nodiscard]] static std::unique_ptr<TParamCollectionItem> LoadRecord(ByteReader& reader,
                                                                          int32_t type);
    // The stream type byte: PT_NONE for a reference, otherwise the value's type.
    [[nodiscard]] static uint8_t StreamType(const TCustomParam& value);

    // The game variable list of a saved game and the table values after it, in the form of
    // that save version (older forms leave out the fields added later).
    void SaveGameVariables(ByteWriter& writer, int32_t version = kSaveVersionCurrent) const;
    // Replaces the game variables with the list. The whole list is read and checked first;
    // damaged data raises an error and leaves the table as it was.
    void LoadGameVariables(ByteReader& reader, int32_t version);
    // The status variables of the status data.
    void SaveStatusVariables(ByteWriter& writer) const;
    // Adds the listed status variables (none is deleted); all or nothing like the game list.
    void LoadStatusVariables(ByteReader& reader);

  private:
    friend class TParamSystem;

    // Writes count and records of the variables selected by pick, targets of references
    // before the references.
    template <typename Pick>
    void SaveList(ByteWriter& writer, Pick pick) const;
    static std::vector<std::unique_ptr<TParamCollectionItem>> ReadList(ByteReader& reader);
    void AddLoaded(std::vector<std::unique_ptr<TParamCollectionItem>> variables);
    void DeleteWhere(bool (*select)(const TParamCollectionItem&, int32_t), int32_t argument);
    [[nodiscard]] const std::array<int32_t, 7>& DateTime() const;

    const PlayerState* state_;
    Clock* clock_;
    Calendar* calendar_;
    int32_t currentLevel_ = 0;
    std::array<SystemVariableProvider*, kSystemVariableCount> providers_{};
    // Date and time readings (year ... second, weekday), re-read when the game clock moved.
    mutable std::array<int32_t, 7> dateTime_{};
    mutable int32_t dateTimeClock_ = -1;
    mutable bool dateTimeValid_ = false;
};

}  // namespace kivo
