#pragma once
// The script vocabulary: the numbers the authoring editor compiles names into, and the names,
// types and argument counts the player needs to interpret them. Every table is constant data
// indexed by its code; the lookups by name compare exactly (the editor's names are
// case-sensitive, so "inttostr" is not IntToStr).

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "imaging/wipe_code.h"

namespace kivo {

// Value types of script values, properties and function results (PT_ codes).
enum ValueType : uint8_t { PT_NONE, PT_INT, PT_FLOAT, PT_BOOL, PT_STR };

inline constexpr int kCommandCount = 61;
inline constexpr int kPropertyCount = 162;
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

// PR ids: the numbers through which scripts read and write scene objects. Event codes are the
// ids of the handler properties (PR_ONNOTIFY and the other ON ids).
enum PropertyId : int32_t {
    PR_NAME,
    PR_PARENT,
    PR_SOURCE,
    PR_LEFT,
    PR_TOP,
    PR_WIDTH,
    PR_HEIGHT,
    PR_ZOOMX,
    PR_COLOR,
    PR_BORDERWIDTH,
    PR_BORDERCOLOR,
    PR_ALPHA,
    PR_PRIORITY,
    PR_OFFSETX,
    PR_OFFSETY,
    PR_FONTNAME,
    PR_FONTHEIGHT,
    PR_FONTSTYLE,
    PR_LINESPACE,
    PR_FONTCOLOR,
    PR_FONTLINKCOLOR,
    PR_FONTBORDERCOLOR,
    PR_FONTHOVERCOLOR,
    PR_FONTHOVERSTYLE,
    PR_HOVERCOLOR,
    PR_ANTIALIAS,
    PR_DELAY,
    PR_PAUSED,
    PR_VOLUME,
    PR_REPEAT,
    PR_BALANCE,
    PR_ANGLE,
    PR_ONPLAYING,
    PR_ONNOTIFY,
    PR_ONMOUSEMOVE,
    PR_ONMOUSEOUT,
    PR_ONLBTNDOWN,
    PR_ONLBTNUP,
    PR_ONRBTNDOWN,
    PR_ONRBTNUP,
    PR_ONWHEELDOWN,
    PR_ONWHEELUP,
    PR_BRIGHTNESS,
    PR_ONPLAYEND,
    PR_INDEX,
    PR_COUNT,
    PR_ONLINK,
    PR_VISIBLE,
    PR_COLCOUNT,
    PR_ROWCOUNT,
    PR_TEXT,
    PR_MARGINX,
    PR_MARGINY,
    PR_HALIGN,
    PR_BORDERSOURCETL,
    PR_BORDERSOURCETC,
    PR_BORDERSOURCETR,
    PR_BORDERSOURCECL,
    PR_BORDERSOURCECC,
    PR_BORDERSOURCECR,
    PR_BORDERSOURCEBL,
    PR_BORDERSOURCEBC,
    PR_BORDERSOURCEBR,
    PR_BORDERHALIGNT,
    PR_BORDERHALIGNC,
    PR_BORDERHALIGNB,
    PR_BORDERVALIGNL,
    PR_BORDERVALIGNC,
    PR_BORDERVALIGNR,
    PR_SCROLLSOURCE,
    PR_CHECKSOURCE,
    PR_AUTOSCRAP,
    PR_ONSELECT,
    PR_RCLICKSCRAP,
    PR_ONOPENING,
    PR_ONOPENED,
    PR_ONCLOSING,
    PR_ONCLOSED,
    PR_CARETX,
    PR_CARETY,
    PR_IGNOREMOUSE,
    PR_TEXTPAUSED,
    PR_TEXTDELAY,
    PR_HOVERSOURCE,
    PR_PRESSEDSOURCE,
    PR_GROUPINDEX,
    PR_ALLOWALLUP,
    PR_SELECTED,
    PR_CAPTUREMASK,
    PR_POWER,
    PR_ORIGWIDTH,
    PR_ORIGHEIGHT,
    PR_APPEARX,
    PR_APPEARY,
    PR_PARTMOTION,
    PR_PARAM1,
    PR_PARAM2,
    PR_TOPINDEX,
    PR_READONLY,
    PR_CURSOR,
    PR_POSZOOMED,
    PR_ONPLAYSTART,
    PR_PARAM3,
    PR_ONMOUSEIN,
    PR_ONMAPIN,
    PR_ONMAPOUT,
    PR_MAPSOURCE,
    PR_AMP,
    PR_WAVELEN,
    PR_SCROLLX,
    PR_SCROLLY,
    PR_FLIPH,
    PR_FLIPV,
    PR_ONIDLE,
    PR_DISTANCEX,
    PR_DISTANCEY,
    PR_CLIPLEFT,
    PR_CLIPTOP,
    PR_CLIPWIDTH,
    PR_CLIPHEIGHT,
    PR_DURATION,
    PR_THUMBSOURCE,
    PR_BUTTONSOURCE,
    PR_MIN,
    PR_MAX,
    PR_VALUE,
    PR_ORIENTATION,
    PR_SMALLCHANGE,
    PR_LARGECHANGE,
    PR_MAPTEXT,
    PR_GLYPHWIDTH,
    PR_GLYPHHEIGHT,
    PR_ZOOMY,
    PR_CLICKEDSOURCE,
    PR_ANIPAUSED,
    PR_ONHOLD,
    PR_ONRELEASE,
    PR_REVERSE,
    PR_PLAYING,
    PR_REWINDONLOAD,
    PR_COMPOTYPE,
    PR_FONTSHADOWCOLOR,
    PR_FONTBORDER,
    PR_FONTSHADOW,
    PR_ONKEYDOWN,
    PR_ONKEYUP,
    PR_ONKEYREPEAT,
    PR_HANDLEKEY,
    PR_ONFOCUSIN,
    PR_ONFOCUSOUT,
    PR_OVERLAY,
    PR_TAG,
    PR_CAPTURELINK,
    PR_FONTHOVERBORDER,
    PR_FONTHOVERBORDERCOLOR,
    PR_FONTHOVERSHADOW,
    PR_FONTHOVERSHADOWCOLOR,
    PR_BARSIZE,
    PR_MUTEONLOAD,
    PR_PLUSX,
    PR_PLUSY,
    PR_CARETHEIGHT
};

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
