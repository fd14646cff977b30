#include "script/param_collection.h"

#include <numbers>
#include <unordered_set>

#include "base/error.h"

namespace kivo {

namespace {

// Native type of each system variable and whether scripts may write it. @Result and @Temp
// take the type of the value they stand for; the entry is their type when there is none.
struct SystemVariableInfo {
    ValueType type;
    bool writable;
};

constexpr std::array<SystemVariableInfo, kSystemVariableCount> kSystemInfo{{
    {PT_INT, true},     // @Result
    {PT_BOOL, true},    // @LClick
    {PT_BOOL, true},    // @RClick
    {PT_BOOL, false},   // @LPush
    {PT_BOOL, false},   // @RPush
    {PT_INT, true},     // @MouseX
    {PT_INT, true},     // @MouseY
    {PT_INT, true},     // @TextDelay
    {PT_INT, false},    // @HistoryCount
    {PT_INT, false},    // @ParamCount
    {PT_STR, false},    // @ParamStr
    {PT_STR, false},    // @Sender
    {PT_INT, false},    // @ScrWidth
    {PT_INT, false},    // @ScrHeight
    {PT_INT, false},    // @TickCount
    {PT_INT, false},    // @PCTickCount
    {PT_INT, false},    // @UpdateCount
    {PT_INT, false},    // @Year
    {PT_INT, false},    // @Month
    {PT_INT, false},    // @Day
    {PT_INT, false},    // @Week
    {PT_INT, false},    // @Hour
    {PT_INT, false},    // @Min
    {PT_INT, false},    // @Sec
    {PT_STR, false},    // @Fonts
    {PT_STR, false},    // @FixedFonts
    {PT_BOOL, true},    // @FullScr
    {PT_STR, true},     // @Cursor
    {PT_STR, true},     // @SelStr
    {PT_INT, true},     // @SelIndex
    {PT_FLOAT, false},  // @Pi
    {PT_BOOL, true},    // @CGDither
    {PT_FLOAT, false},  // @1Hour
    {PT_FLOAT, false},  // @1Min
    {PT_FLOAT, false},  // @1Sec
    {PT_BOOL, false},   // @KeyPush
    {PT_BOOL, false},   // @KeyClick
    {PT_INT, false},    // @DisplayModeCount
    {PT_INT, true},     // @DisplayModeIndex
    {PT_STR, false},    // @Title
    {PT_BOOL, true},    // @SoundON
    {PT_STR, true},     // @ActiveCompo
    {PT_BOOL, false},   // @KeyRepeat
    {PT_INT, true},     // @HistoryMaxCount
    {PT_INT, true},     // @Temp
    {PT_STR, true},     // @MidiPort
    {PT_STR, false},    // @MidiPorts
    {PT_BOOL, false},   // @WheelDown
    {PT_BOOL, false},   // @WheelUp
    {PT_INT, false},    // @StackCount
}};

const SystemVariableInfo& InfoOf(SystemVariable id) {
    return kSystemInfo[static_cast<size_t>(id)];
}

bool IsGameVariable(const TParamCollectionItem& v) {
    return !v.IsSystem() && !v.status;
}
bool IsStatusVariable(const TParamCollectionItem& v) {
    return !v.IsSystem() && v.status;
}

// A system value read as each type. Strings read as a flag are true when not empty, unlike
// ordinary strings which must say "TRUE".
int32_t SystemToInt(const SystemValue& v) {
    return std::visit(
        [](const auto& x) -> int32_t {
            using X = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<X, int32_t>) return x;
            if constexpr (std::is_same_v<X, Extended>) return FloatToInt(x);
            if constexpr (std::is_same_v<X, bool>) return x ? 1 : 0;
            if constexpr (std::is_same_v<X, std::string>) return StringToInt(x);
        },
        v);
}

Extended SystemToFloat(const SystemValue& v) {
    return std::visit(
        [](const auto& x) -> Extended {
            using X = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<X, int32_t>) return x;
            if constexpr (std::is_same_v<X, Extended>) return x;
            if constexpr (std::is_same_v<X, bool>) return x ? 1.0 : 0.0;
            if constexpr (std::is_same_v<X, std::string>) return StringToFloat(x);
        },
        v);
}

bool SystemToFlag(const SystemValue& v) {
    return std::visit(
        [](const auto& x) -> bool {
            using X = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<X, int32_t>) return x != 0;
            if constexpr (std::is_same_v<X, Extended>) return x != 0.0;
            if constexpr (std::is_same_v<X, bool>) return x;
            if constexpr (std::is_same_v<X, std::string>) return !x.empty();
        },
        v);
}

std::string SystemToString(const SystemValue& v) {
    return std::visit(
        [](const auto& x) -> std::string {
            using X = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<X, int32_t>) return IntToString(x);
            if constexpr (std::is_same_v<X, Extended>) return FloatToString(x);
            if constexpr (std::is_same_v<X, bool>) return std::string(FlagToString(x));
            if constexpr (std::is_same_v<X, std::string>) return x;
        },
        v);
}

// A value written to a system variable, converted to its native type. A flag written from a
// string takes the string's integer value.
SystemValue ToNative(ValueType type, const SystemValue& v) {
    switch (type) {
        case PT_INT:
            return SystemToInt(v);
        case PT_FLOAT:
            return SystemToFloat(v);
        case PT_BOOL:
            if (const auto* text = std::get_if<std::string>(&v)) return StringToInt(*text) != 0;
            return SystemToFlag(v);
        case PT_STR:
            return SystemToString(v);
        case PT_NONE:
            break;
    }
    return v;
}

}  // namespace

// ---- TParamCollectionItem -------------------------------------------------------------------

TParamCollectionItem::TParamCollectionItem(std::unique_ptr<TCustomParam> value, bool system)
    : value_(std::move(value)), system_(system) {}

TParamCollectionItem::~TParamCollectionItem() {
    if (anchor_) anchor_->variable = nullptr;
}

const std::shared_ptr<VariableAnchor>& TParamCollectionItem::Anchor() const {
    if (!anchor_) {
        anchor_ = std::make_shared<VariableAnchor>();
        anchor_->variable = const_cast<TParamCollectionItem*>(this);
    }
    return anchor_;
}

bool TParamCollectionItem::IsValidName(std::string_view name) {
    if (name.empty() || (name.front() >= '0' && name.front() <= '9')) return false;
    // Blanks are single bytes; no trail byte of CP932 is below 0x40, so a byte scan is safe.
    for (char c : name) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') return false;
    }
    return true;
}

void TParamCollectionItem::SetName(std::string name) {
    if (!IsValidName(name)) throw KivoError("\"" + name + "\"：変数名が不正です");
    THashCollectionItem::SetName(std::move(name));
}

// ---- SystemVariableProvider -----------------------------------------------------------------

void SystemVariableProvider::Write(SystemVariable, const SystemValue&) {}
int32_t SystemVariableProvider::ElementCount(SystemVariable) const {
    return 1;
}
TCustomParam* SystemVariableProvider::Holder(SystemVariable) const {
    return nullptr;
}

// ---- TParamSystem ---------------------------------------------------------------------------

TCustomParam* TParamSystem::Forward() const {
    if (id_ == SystemVariable::Temp) {
        if (owner_.tempAlias.empty()) return nullptr;
        TParamCollectionItem* variable = owner_.Find(owner_.tempAlias);
        if (!variable) return nullptr;
        // An alias that leads back to @Temp, itself or through references (only a damaged
        // save can set one up), would forward forever.
        const TCustomParam* walk = &variable->Value();
        for (int hops = 0; walk; ++hops) {
            if (walk == this || hops > 64) return nullptr;
            const auto* reference = dynamic_cast<const TParamVar*>(walk);
            walk = reference ? reference->Target() : nullptr;
        }
        return &variable->Value();
    }
    if (SystemVariableProvider* provider = owner_.Provider(id_)) return provider->Holder(id_);
    return nullptr;
}

SystemValue TParamSystem::Read(int32_t element) const {
    if (SystemVariableProvider* provider = owner_.Provider(id_)) {
        return provider->Read(id_, element);
    }
    const PlayerState* state = owner_.State();
    using S = SystemVariable;
    switch (id_) {
        case S::TextDelay:
            return owner_.textDelay;
        case S::Cursor:
            return owner_.cursorName;
        case S::SelStr:
            return owner_.selectionString;
        case S::SelIndex:
            return owner_.selectionIndex;
        case S::TickCount:
            return state ? state->gameClock : 0;
        case S::UpdateCount:
            return state ? state->frameCounter : 0;
        case S::PCTickCount:
            // The platform's millisecond counter, wrapping at 32 bits like the system's; a
            // headless run's moves with the game time.
            return owner_.clock_ ? static_cast<int32_t>(owner_.clock_->NowMs()) : 0;
        case S::Year:
        case S::Month:
        case S::Day:
        case S::Week:
        case S::Hour:
        case S::Min:
        case S::Sec: {
            constexpr std::array<S, 7> order{S::Year, S::Month, S::Day, S::Week,
                                             S::Hour, S::Min,   S::Sec};
            const auto& values = owner_.DateTime();
            for (size_t i = 0; i < order.size(); ++i) {
                if (order[i] == id_) return values[i];
            }
            return 0;
        }
        case S::Pi:
            return std::numbers::pi_v<Extended>;
        case S::OneHour:
            return Extended{1} / 24;
        case S::OneMin:
            return Extended{1} / (24 * 60);
        case S::OneSec:
            return Extended{1} / (24 * 60 * 60);
        case S::SoundON:
            return true;
        case S::Result:
        case S::LClick:
        case S::RClick:
        case S::LPush:
        case S::RPush:
        case S::MouseX:
        case S::MouseY:
        case S::HistoryCount:
        case S::ParamCount:
        case S::ParamStr:
        case S::Sender:
        case S::ScrWidth:
        case S::ScrHeight:
        case S::Fonts:
        case S::FixedFonts:
        case S::FullScr:
        case S::CGDither:
        case S::KeyPush:
        case S::KeyClick:
        case S::DisplayModeCount:
        case S::DisplayModeIndex:
        case S::Title:
        case S::ActiveCompo:
        case S::KeyRepeat:
        case S::HistoryMaxCount:
        case S::Temp:
        case S::MidiPort:
        case S::MidiPorts:
        case S::WheelDown:
        case S::WheelUp:
        case S::StackCount:
            break;
    }
    // Everything owned by a subsystem not registered yet reads empty in its native type: 0,
    // false, or the empty string.
    if (InfoOf(id_).type == PT_STR) return std::string();
    return ToNative(InfoOf(id_).type, SystemValue{int32_t{0}});
}

void TParamSystem::Write(const SystemValue& value) {
    const SystemVariableInfo& info = InfoOf(id_);
    if (!info.writable) return;
    SystemValue native = ToNative(info.type, value);
    // The values the table keeps itself; everything else belongs to a provider.
    if (id_ == SystemVariable::TextDelay) {
        owner_.textDelay = std::get<int32_t>(native);
    } else if (id_ == SystemVariable::Cursor) {
        owner_.cursorName = std::get<std::string>(native);
    } else if (id_ == SystemVariable::SelStr) {
        owner_.selectionString = std::get<std::string>(native);
    } else if (id_ == SystemVariable::SelIndex) {
        owner_.selectionIndex = std::get<int32_t>(native);
    } else if (SystemVariableProvider* provider = owner_.Provider(id_)) {
        provider->Write(id_, native);
    }
}

int32_t TParamSystem::ElementCount() const {
    if (TCustomParam* target = Forward()) return target->ElementCount();
    if (SystemVariableProvider* provider = owner_.Provider(id_)) {
        return provider->ElementCount(id_);
    }
    if (id_ == SystemVariable::KeyPush || id_ == SystemVariable::KeyClick ||
        id_ == SystemVariable::KeyRepeat) {
        return kKeyArraySize;
    }
    // Without arguments or MIDI ports these lists are empty.
    if (id_ == SystemVariable::ParamStr || id_ == SystemVariable::MidiPorts) return 0;
    return 1;
}

void TParamSystem::SetElementCount(int32_t count) {
    if (TCustomParam* target = Forward()) target->SetElementCount(count);
}

ValueType TParamSystem::Type() const {
    if (TCustomParam* target = Forward()) return target->Type();
    return InfoOf(id_).type;
}

bool TParamSystem::AsFlag() const {
    if (TCustomParam* target = Forward()) return target->AsFlag();
    return SystemToFlag(Read(-1));
}

Extended TParamSystem::AsFloat() const {
    if (TCustomParam* target = Forward()) return target->AsFloat();
    return SystemToFloat(Read(-1));
}

int32_t TParamSystem::AsInteger() const {
    if (TCustomParam* target = Forward()) return target->AsInteger();
    return SystemToInt(Read(-1));
}

std::string TParamSystem::AsString() const {
    if (TCustomParam* target = Forward()) return target->AsString();
    return SystemToString(Read(-1));
}

void TParamSystem::SetFlag(bool value) {
    if (TCustomParam* target = Forward()) return target->SetFlag(value);
    Write(value);
}

void TParamSystem::SetFloat(Extended value) {
    if (TCustomParam* target = Forward()) return target->SetFloat(value);
    Write(value);
}

void TParamSystem::SetInteger(int32_t value) {
    if (TCustomParam* target = Forward()) return target->SetInteger(value);
    Write(value);
}

void TParamSystem::SetString(std::string_view value) {
    if (TCustomParam* target = Forward()) return target->SetString(value);
    Write(std::string(value));
}

int32_t TParamSystem::IntAt(int32_t index) const {
    if (TCustomParam* target = Forward()) return target->IntAt(index);
    CheckIndex(index);
    return SystemToInt(Read(index));
}

void TParamSystem::SetIntAt(int32_t index, int32_t value) {
    if (TCustomParam* target = Forward()) return target->SetIntAt(index, value);
    CheckIndex(index);
    Write(value);
}

Extended TParamSystem::FloatAt(int32_t index) const {
    if (TCustomParam* target = Forward()) return target->FloatAt(index);
    CheckIndex(index);
    return SystemToFloat(Read(index));
}

void TParamSystem::SetFloatAt(int32_t index, Extended value) {
    if (TCustomParam* target = Forward()) return target->SetFloatAt(index, value);
    CheckIndex(index);
    Write(value);
}

bool TParamSystem::FlagAt(int32_t index) const {
    if (TCustomParam* target = Forward()) return target->FlagAt(index);
    CheckIndex(index);
    return SystemToFlag(Read(index));
}

void TParamSystem::SetFlagAt(int32_t index, bool value) {
    if (TCustomParam* target = Forward()) return target->SetFlagAt(index, value);
    CheckIndex(index);
    Write(value);
}

std::string TParamSystem::StringAt(int32_t index) const {
    if (TCustomParam* target = Forward()) return target->StringAt(index);
    CheckIndex(index);
    return SystemToString(Read(index));
}

void TParamSystem::SetStringAt(int32_t index, std::string_view value) {
    if (TCustomParam* target = Forward()) return target->SetStringAt(index, value);
    CheckIndex(index);
    Write(std::string(value));
}

int32_t TParamSystem::DimensionCount() const {
    TCustomParam* target = Forward();
    return target ? target->DimensionCount() : 1;
}

int32_t TParamSystem::DimensionSize(int32_t i) const {
    if (TCustomParam* target = Forward()) return target->DimensionSize(i);
    return i == 0 ? ElementCount() : 1;
}

void TParamSystem::CopyFrom(const TCustomParam& source) {
    if (TCustomParam* target = Forward()) target->CopyMemFrom(source);
}

void TParamSystem::SetDimensions(std::span<const int32_t> sizes) {
    if (TCustomParam* target = Forward()) target->SetDimensions(sizes);
}

void TParamSystem::Save(ByteWriter&) const {}
void TParamSystem::Load(ByteReader&) {}

// ---- TParamCollection -----------------------------------------------------------------------

TParamCollection::TParamCollection(const PlayerState* state, Clock* clock, Calendar* calendar)
    : state_(state), clock_(clock), calendar_(calendar) {
    const auto names = SystemVariableNames();
    for (int i = 0; i < kSystemVariableCount; ++i) {
        auto value = std::make_unique<TParamSystem>(*this, static_cast<SystemVariable>(i));
        Add(std::make_unique<TParamCollectionItem>(std::move(value), true),
            std::string(names[static_cast<size_t>(i)]));
    }
}

TParamCollection::~TParamCollection() = default;

int32_t TParamCollection::IndexOf(std::string_view name) const {
    int32_t found = -1;
    ForEachNamed(name, [&](const THashCollectionItem& item) {
        const auto& variable = static_cast<const TParamCollectionItem&>(item);
        if (!variable.local) {
            found = variable.Index();  // keep walking: the oldest global wins
            return false;
        }
        if (variable.level == currentLevel_) {
            found = variable.Index();
            return true;
        }
        return false;
    });
    return found;
}

TParamCollectionItem* TParamCollection::FindForDeclaration(std::string_view name,
                                                           bool local) const {
    TParamCollectionItem* result = nullptr;
    ForEachNamed(name, [&](const THashCollectionItem& item) {
        const auto& variable = static_cast<const TParamCollectionItem&>(item);
        if (local && variable.local && variable.level == currentLevel_) {
            result = &At(variable.Index());
            return true;
        }
        if (!local && !variable.local) result = &At(variable.Index());
        return false;
    });
    return result;
}

TParamCollectionItem& TParamCollection::Create(std::string name, int32_t type) {
    if (!TParamCollectionItem::IsValidName(name)) {
        throw KivoError("\"" + name + "\"：変数名が不正です");
    }
    std::unique_ptr<TCustomParam> value = CreateParam(type);
    if (!value) throw KivoError(name + ":不正な変数です");
    return Add(std::make_unique<TParamCollectionItem>(std::move(value)), std::move(name));
}

Declaration TParamCollection::Declare(std::string_view name, int32_t type, VariableScope scope) {
    if (name.empty()) throw KivoError("変数名がありません");
    TParamCollectionItem* existing = FindForDeclaration(name, scope == kScopeLocal);
    if (existing) return {existing, !existing->status};
    TParamCollectionItem& variable = Create(std::string(name), type);
    switch (scope) {
        case kScopeAutoDestroy:
            variable.level = currentLevel_;
            break;
        case kScopeLocal:
            variable.level = currentLevel_;
            variable.local = true;
            break;
        case kScopeStatus:
            variable.status = true;
            break;
        case kScopeGlobal:
            break;
    }
    return {&variable, true};
}

void TParamCollection::StoreDeclared(TCustomParam& variable, int32_t declaredType,
                                     const TCustomParam& value) {
    switch (declaredType) {
        case PT_INT:
            variable.SetInteger(value.AsInteger());
            break;
        case PT_FLOAT:
            variable.SetFloat(value.AsFloat());
            break;
        case PT_BOOL:
            variable.SetFlag(value.AsFlag());
            break;
        case PT_STR:
            variable.SetString(value.AsString());
            break;
        default:
            break;
    }
}

TParamCollectionItem* TParamCollection::DeclareProjectVariable(std::string name, int32_t type) {
    if (IndexOf(name) >= 0) return nullptr;
    TParamCollectionItem& variable = Create(std::move(name), type);
    variable.status = true;
    return &variable;
}

bool TParamCollection::Remove(std::string_view name) {
    int32_t index = IndexOf(name);
    if (index < 0 || At(index).IsSystem()) return false;
    Delete(index);
    return true;
}

void TParamCollection::DeleteWhere(bool (*select)(const TParamCollectionItem&, int32_t),
                                   int32_t argument) {
    // One pass: freeing a call level with many variables stays linear.
    DeleteIf([&](const THashCollectionItem& item) {
        return select(static_cast<const TParamCollectionItem&>(item), argument);
    });
}

void TParamCollection::DeleteLevel(int32_t level) {
    DeleteWhere(
        [](const TParamCollectionItem& v, int32_t n) { return !v.IsSystem() && v.level == n; },
        level);
}

void TParamCollection::ForgetLevel(int32_t level) {
    DeleteWhere(
        [](const TParamCollectionItem& v, int32_t n) {
            return !v.IsSystem() && v.local && v.level == n;
        },
        level);
    for (int32_t i = 0; i < Count(); ++i) {
        TParamCollectionItem& variable = At(i);
        if (!variable.IsSystem() && variable.level > level) --variable.level;
    }
}

std::unique_ptr<TCustomParam> TParamCollection::ValueCopy(std::string_view name) const {
    TParamCollectionItem* variable = Find(name);
    if (!variable) throw KivoError("\"" + std::string(name) + "\" 変数がありません");
    ValueType type = variable->Value().Type();
    if (type < PT_INT || type > PT_STR) throw KivoError(std::string(name) + ":不正な変数です");
    return variable->Value().Clone();
}

void TParamCollection::Reset() {
    DeleteWhere([](const TParamCollectionItem& v, int32_t) { return IsGameVariable(v); }, 0);
    textDelay = 50;
    cursorName.clear();
    backlogFormat.fill(0);
}

void TParamCollection::RegisterProvider(SystemVariable id, SystemVariableProvider* provider) {
    providers_[static_cast<size_t>(id)] = provider;
}

SystemVariableProvider* TParamCollection::Provider(SystemVariable id) const {
    return providers_[static_cast<size_t>(id)];
}

const std::array<int32_t, 7>& TParamCollection::DateTime() const {
    // All readings within one frame agree: the clock is read again only when the game clock
    // has moved since the last reading.
    int32_t clock = state_ ? state_->gameClock : -1;
    if (dateTimeValid_ && state_ && clock == dateTimeClock_) return dateTime_;
    // Without a calendar (a table made for tools and tests) every field reads 0.
    const CalendarTime now = calendar_ ? calendar_->Now() : CalendarTime{0, 0, 0, 0, 0, 0, 0, 0};
    dateTime_ = {now.year, now.month, now.day, now.dayOfWeek, now.hour, now.minute, now.second};
    dateTimeClock_ = clock;
    dateTimeValid_ = true;
    return dateTime_;
}

// ---- Streams --------------------------------------------------------------------------------

uint8_t TParamCollection::StreamType(const TCustomParam& value) {
    ValueType type = dynamic_cast<const TParamVar*>(&value) ? PT_NONE : value.Type();
    return static_cast<uint8_t>(type);
}

void TParamCollection::SaveRecord(ByteWriter& writer, const TParamCollectionItem& variable) {
    writer.WriteCountedString(variable.Name());
    variable.Value().Save(writer);
    writer.WriteBool(variable.status);
    writer.WriteBool(variable.local);
    writer.WriteI32(variable.level);
    writer.WriteU8(variable.reserved);
}

std::unique_ptr<TParamCollectionItem> TParamCollection::LoadRecord(ByteReader& reader,
                                                                   int32_t type) {
    std::unique_ptr<TCustomParam> value = CreateParam(type);
    if (!value) reader.Fail("variable type " + std::to_string(type) + " unknown");
    std::string name = reader.ReadCountedString();
    value->Load(reader);
    auto variable = std::make_unique<TParamCollectionItem>(std::move(value));
    variable->status = reader.ReadBool();
    variable->local = reader.ReadBool();
    variable->level = reader.ReadI32();
    variable->reserved = reader.ReadU8();
    if (name.empty()) return nullptr;
    if (!TParamCollectionItem::IsValidName(name)) reader.Fail("bad variable name");
    variable->SetName(std::move(name));
    return variable;
}

template <typename Pick>
void TParamCollection::SaveList(ByteWriter& writer, Pick pick) const {
    std::vector<const TParamCollectionItem*> remaining;
    for (int32_t i = 0; i < Count(); ++i) {
        if (pick(At(i))) remaining.push_back(&At(i));
    }
    std::unordered_set<const TParamCollectionItem*> pending(remaining.begin(), remaining.end());
    writer.WriteI32(static_cast<int32_t>(remaining.size()));
    // A reference is written after the variable it leads to, so that loading can bind it.
    // A target outside this list (a system or status variable, or one already deleted) is
    // there before the list is loaded and never holds a reference back.
    while (!remaining.empty()) {
        bool progress = false;
        for (size_t i = remaining.size(); i-- > 0;) {
            const TParamCollectionItem* variable = remaining[i];
            const auto* ref = dynamic_cast<const TParamVar*>(&variable->Value());
            if (ref && pending.contains(ref->Bound())) continue;
            writer.WriteU8(StreamType(variable->Value()));
            SaveRecord(writer, *variable);
            pending.erase(variable);
            remaining.erase(remaining.begin() + static_cast<ptrdiff_t>(i));
            progress = true;
        }
        if (!progress) {
            // Only a cycle of references can stall the passes; write the rest as they stand.
            for (size_t i = remaining.size(); i-- > 0;) {
                writer.WriteU8(StreamType(remaining[i]->Value()));
                SaveRecord(writer, *remaining[i]);
            }
            break;
        }
    }
}

std::vector<std::unique_ptr<TParamCollectionItem>> TParamCollection::ReadList(ByteReader& reader) {
    // The smallest record: type, empty name, a value of no dimensions and one flag, status,
    // local, level, reserved.
    constexpr size_t kMinRecordBytes = 1 + 4 + 4 + 4 + 1 + 1 + 1 + 4 + 1;
    uint32_t count = reader.ReadCount(kMinRecordBytes);
    std::vector<std::unique_ptr<TParamCollectionItem>> variables;
    variables.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t type = reader.ReadU8();
        if (auto variable = LoadRecord(reader, type)) variables.push_back(std::move(variable));
    }
    return variables;
}

void TParamCollection::AddLoaded(std::vector<std::unique_ptr<TParamCollectionItem>> variables) {
    std::vector<TParamCollectionItem*> added;
    for (auto& variable : variables) {
        std::string name = variable->Name();
        added.push_back(&Add(std::move(variable), std::move(name)));
    }
    // References bind by name once every listed variable is in place.
    for (TParamCollectionItem* variable : added) {
        auto* ref = dynamic_cast<TParamVar*>(&variable->Value());
        if (!ref || ref->PendingBindName().empty()) continue;
        if (TParamCollectionItem* target = Find(ref->PendingBindName())) {
            ref->Bind(*target, ref->ElementIndex(), variable);
        }
    }
}

void TParamCollection::SaveGameVariables(ByteWriter& writer, int32_t version) const {
    SaveList(writer, IsGameVariable);
    writer.WriteI32(textDelay);
    writer.WriteCountedString(cursorName);
    if (version >= kSaveVersionSelection) {
        writer.WriteCountedString(selectionString);
        writer.WriteI32(selectionIndex);
    }
    if (version >= kSaveVersionBacklogFormat) {
        for (int32_t value : backlogFormat)
            writer.WriteI32(value);
    }
    if (version >= kSaveVersionTempAlias) writer.WriteCountedString(tempAlias);
}

void TParamCollection::LoadGameVariables(ByteReader& reader, int32_t version) {
    // Everything is read before anything changes, so damaged data leaves the table intact.
    auto variables = ReadList(reader);
    int32_t newTextDelay = reader.ReadI32();
    std::string newCursor = reader.ReadCountedString();
    std::string newSelection = selectionString;
    int32_t newSelectionIndex = selectionIndex;
    if (version >= kSaveVersionSelection) {
        newSelection = reader.ReadCountedString();
        newSelectionIndex = reader.ReadI32();
    }
    std::array<int32_t, 6> newBacklogFormat = backlogFormat;
    if (version >= kSaveVersionBacklogFormat) {
        for (int32_t& value : newBacklogFormat)
            value = reader.ReadI32();
    }
    std::string newTempAlias = tempAlias;
    if (version >= kSaveVersionTempAlias) newTempAlias = reader.ReadCountedString();

    DeleteWhere([](const TParamCollectionItem& v, int32_t) { return IsGameVariable(v); }, 0);
    AddLoaded(std::move(variables));
    textDelay = newTextDelay;
    cursorName = std::move(newCursor);
    selectionString = std::move(newSelection);
    selectionIndex = newSelectionIndex;
    backlogFormat = newBacklogFormat;
    tempAlias = std::move(newTempAlias);
}

void TParamCollection::SaveStatusVariables(ByteWriter& writer) const {
    SaveList(writer, IsStatusVariable);
}

void TParamCollection::LoadStatusVariables(ByteReader& reader) {
    AddLoaded(ReadList(reader));
}

}  // namespace kivo
