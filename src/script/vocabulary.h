#pragma once
// The script vocabulary: the numbers the authoring editor compiles names into, and the names,
// types and argument counts the player needs to interpret them. Every table is constant data
// indexed by its code; the lookups by name compare exactly (the editor's names are
// case-sensitive, so "inttostr" is not IntToStr).

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "imaging/property_id.h"
#include "imaging/wipe_code.h"

namespace kivo {

// Value types of script values, properties and function results (PT_ codes).
enum ValueType : uint8_t { PT_NONE, PT_INT, PT_FLOAT, PT_BOOL, PT_STR };

inline constexpr int kCommandCount = 61;
inline constexpr int kObjectKindCount = 28;
inline constexpr int kOpCodeCount = 21;
inline constexpr int kSystemVariableCount = 50;
inline constexpr int kFunctionCount = 145;
inline constexpr int kKeyConstantCount = 70;
// @KeyPush, @KeyClick and @KeyRepeat: 256 virtual-key slots, then wheel down and wheel up.
inline constexpr int kKeyArraySize = 258;

// ---- Commands -------------------------------------------------------------------------------

// The type code of a command record is its position in this list.
enum class CommandCode : uint8_t {
    If,
    Elseif,
    Else,
    Label,
    Jump,
    Call,
    Exit,
    Wait,
    BoxNew,
    ImgNew,
    MesNew,
    Timer,
    Movie,
    Flip,
    Calc,
    VarNew,
    VarDel,
    GetProp,
    SetProp,
    ObjDel,
    TextIns,
    MovieStop,
    ClrHist,
    Cinema,
    Caption,
    Menu,
    MenuClose,
    Comment,
    TextClr,
    CallHist,
    Button,
    While,
    WhileInit,
    WhileLoop,
    Break,
    Continue,
    ParticleNew,
    FireNew,
    GameSave,
    GameLoad,
    PCReset,
    Reset,
    Sound,
    EditNew,
    MemoNew,
    Terminate,
    DoEvent,
    ClrRead,
    MapImgNew,
    WaveNew,
    TileNew,
    SliderNew,
    ScrollbarNew,
    GaugeNew,
    CGCaption,
    MediaPlay,
    PrevMenuNew,
    PropMotion,
    FormatHist,
    SaveCabinet,
    LoadCabinet
};

struct CommandInfo {
    std::string_view name;       // script name, as the text form writes it
    std::string_view className;  // the runtime class that executes it
};

[[nodiscard]] std::span<const CommandInfo, kCommandCount> Commands();
// nullptr when code is not a command.
[[nodiscard]] const CommandInfo* FindCommand(int32_t code);
[[nodiscard]] std::optional<CommandCode> CommandByName(std::string_view name);

// ---- Scene object properties ----------------------------------------------------------------

struct PropertyInfo {
    std::string_view name;  // "PR_NAME" ...
    ValueType type;         // the type the player holds the property in; GetProp's result type
};

[[nodiscard]] std::span<const PropertyInfo, kPropertyCount> Properties();
// nullptr when id is outside 0..161 (ids from files and scripts are checked here).
[[nodiscard]] const PropertyInfo* FindProperty(int32_t id);
[[nodiscard]] std::optional<PropertyId> PropertyByName(std::string_view name);
// The order in which component commands write their properties to a new object: the size
// before the position, fonts before text, and so on.
[[nodiscard]] std::span<const PropertyId, kPropertyCount> PropertyApplicationOrder();

// ---- Named constants ------------------------------------------------------------------------

// A named value with the editor's display label (empty where the editor shows none).
struct NamedConstant {
    std::string_view name;
    int32_t value;
    std::string_view label;
};

// Object kinds: the value of PR_COMPOTYPE.
enum ObjectKind : int32_t {
    LT_NONE,
    LT_AUDIO,
    LT_BOX,
    LT_BUTTON,
    LT_CINEMA,
    LT_EDIT,
    LT_FIRE,
    LT_HTTP,
    LT_IMAGES,
    LT_LABEL,
    LT_MAP,
    LT_MEMO,
    LT_MENU,
    LT_MES,
    LT_PARTICLE,
    LT_TIMER,
    LT_VIDEO,
    LT_SOUND,
    LT_MAPIMG,
    LT_WAVE,
    LT_TILE,
    LT_SLIDER,
    LT_SCROLLBAR,
    LT_GAUGE,
    LT_CGLABEL,
    LT_PREVMENU,
    LT_PROPMOTION,
    LT_CABINET
};

// Font style bits; a style value is their sum.
enum FontStyle : int32_t { FS_BOLD = 1, FS_ITALIC = 2, FS_UNDERLINE = 4, FS_STRIKEOUT = 8 };
enum FlipMode : int32_t { FL_OUT, FL_STAY };
enum HorizontalAlign : int32_t { HA_LEFT, HA_CENTER, HA_RIGHT };
enum VerticalAlign : int32_t { VA_TOP, VA_CENTER, VA_BOTTOM };
enum MediaPlayMode : int32_t { LP_PLAY, LP_PLAYFADE, LP_STOP, LP_STOPFADE };
enum ParticleMotion : int32_t { PM_NONE, PM_SNOW, PM_STAR, PM_FLUFF, PM_TWISTER };
enum IgnoreMouse : int32_t { IM_NONE, IM_ALL, IM_CLICK, IM_LCLICK, IM_RCLICK };
enum Orientation : int32_t { OT_HORIZONTAL, OT_VERTICAL };
enum MotionCurve : int32_t { MT_NORMAL, MT_INC, MT_DEC };
// Scopes of VarNew.
enum VariableScope : int32_t { kScopeGlobal, kScopeAutoDestroy, kScopeLocal, kScopeStatus };
enum ProjectMessage : int32_t { CHANGEMEDIA, EXIT };

// Windows virtual-key codes under the names scripts use; the two wheel keys are the extra
// slots after the 256 key codes.
enum KeyCode : int32_t {
    VkmBACK = 0x08,
    VkmTAB = 0x09,
    VkmRETURN = 0x0d,
    VkmSHIFT = 0x10,
    VkmCONTROL = 0x11,
    VkmALT = 0x12,
    VkmPAUSE = 0x13,
    VkmCAPITAL = 0x14,
    VkmESCAPE = 0x1b,
    VkmSPACE = 0x20,
    VkmPAGEUP = 0x21,
    VkmPAGEDOWN = 0x22,
    VkmEND = 0x23,
    VkmHOME = 0x24,
    VkmLEFT = 0x25,
    VkmUP = 0x26,
    VkmRIGHT = 0x27,
    VkmDOWN = 0x28,
    VkmINSERT = 0x2d,
    VkmDELETE = 0x2e,
    Vkm0 = 0x30,
    Vkm1 = 0x31,
    Vkm2 = 0x32,
    Vkm3 = 0x33,
    Vkm4 = 0x34,
    Vkm5 = 0x35,
    Vkm6 = 0x36,
    Vkm7 = 0x37,
    Vkm8 = 0x38,
    Vkm9 = 0x39,
    VkmA = 0x41,
    VkmB = 0x42,
    VkmC = 0x43,
    VkmD = 0x44,
    VkmE = 0x45,
    VkmF = 0x46,
    VkmG = 0x47,
    VkmH = 0x48,
    VkmI = 0x49,
    VkmJ = 0x4a,
    VkmK = 0x4b,
    VkmL = 0x4c,
    VkmM = 0x4d,
    VkmN = 0x4e,
    VkmO = 0x4f,
    VkmP = 0x50,
    VkmQ = 0x51,
    VkmR = 0x52,
    VkmS = 0x53,
    VkmT = 0x54,
    VkmU = 0x55,
    VkmV = 0x56,
    VkmW = 0x57,
    VkmX = 0x58,
    VkmY = 0x59,
    VkmZ = 0x5a,
    VkmF1 = 0x70,
    VkmF2 = 0x71,
    VkmF3 = 0x72,
    VkmF4 = 0x73,
    VkmF5 = 0x74,
    VkmF6 = 0x75,
    VkmF7 = 0x76,
    VkmF8 = 0x77,
    VkmF9 = 0x78,
    VkmF10 = 0x79,
    VkmF11 = 0x7a,
    VkmF12 = 0x7b,
    VkmWheelDown = 256,
    VkmWheelUp = 257
};

enum class ConstantGroup : uint8_t {
    ObjectKind,
    Wipe,
    FontStyle,
    FlipMode,
    HorizontalAlign,
    VerticalAlign,
    MediaPlayMode,
    ParticleMotion,
    IgnoreMouse,
    Orientation,
    MotionCurve,
    ValueType,
    VariableScope,
    ProjectMessage,
    Key,
};
inline constexpr int kConstantGroupCount = 15;

[[nodiscard]] std::span<const NamedConstant> Constants(ConstantGroup group);
// Searches every group, PR_ ids included; nullopt when no constant has that name.
[[nodiscard]] std::optional<int32_t> FindConstantValue(std::string_view name);

// The editor's key selector: "(なし)" (no key, 0), digits, letters and the named keys.
[[nodiscard]] std::span<const NamedConstant> KeySelectorLabels();
// Labels of the editor's object-type list and of the wallpaper placements (SetWallPaper).
[[nodiscard]] std::span<const std::string_view> ObjectTypeLabels();
[[nodiscard]] std::span<const std::string_view> WallpaperPlacementLabels();

// ---- Expression operators -------------------------------------------------------------------

// Indexed by the stored opcode byte (the OpCode values of script/expression.h).
struct OperatorInfo {
    std::string_view name;    // "ocPlus"
    std::string_view symbol;  // "+" as expression text writes it; empty when there is none
    // Binding group of the two-operand operators, 1 (tightest: * / %) to 9 (=); 0 for the
    // steps that are not written as an infix operator (ocNone, ocDimTo, ocFunc).
    int precedence;
};

[[nodiscard]] std::span<const OperatorInfo, kOpCodeCount> Operators();
// nullptr when code is not an opcode.
[[nodiscard]] const OperatorInfo* FindOperator(int32_t code);
// The opcode of the infix operator written as symbol ("<>" gives 20, ocNEqual); nullopt for
// anything else.
[[nodiscard]] std::optional<int> OperatorBySymbol(std::string_view symbol);

// ---- System variables -----------------------------------------------------------------------

// The 50 "@" variables in index order; the variable table creates them in this order.
[[nodiscard]] std::span<const std::string_view, kSystemVariableCount> SystemVariableNames();
[[nodiscard]] std::optional<int> SystemVariableIndex(std::string_view name);

// ---- System functions -----------------------------------------------------------------------

inline constexpr int kNoArgumentLimit = -1;
// GetProp's result type is the type of the property it reads, not the table's.
inline constexpr int kFunctionGetProp = 2;

struct FunctionInfo {
    std::string_view name;
    int minArgs;
    int maxArgs;  // kNoArgumentLimit: any number from minArgs up
    ValueType result;

    [[nodiscard]] constexpr bool AcceptsArgumentCount(int count) const {
        return count >= minArgs && (maxArgs == kNoArgumentLimit || count <= maxArgs);
    }
};

[[nodiscard]] std::span<const FunctionInfo, kFunctionCount> Functions();
// nullptr when index is outside 0..144 (indices come from files and are checked here).
[[nodiscard]] const FunctionInfo* FindFunction(int32_t index);
[[nodiscard]] std::optional<int> FunctionIndex(std::string_view name);

}  // namespace kivo
