#pragma once
// The scenario page file (extension ksb) as plain data: the header, the property masks and the
// command records, with a reader and a writer that are exact inverses. Reading a page and
// writing it again gives the same bytes, including masks stored in the odd shapes older and
// newer editors wrote and pages of versions the player does not run.
//
// File layout (little-endian; "string" is a counted string, "expr" a stored expression):
//   int32  version P             pages above 110 are kept as unparsed bytes
//   byte   result type           PT_ code of the page's @Result
//   int32  T, int32 S            T property masks of S bytes each, then the T * S bytes
//   int32  C                     then C command records
//   record: byte type code (the command is code & 0x7F), int32 indent, byte disabled,
//           byte continue, int32 line number, then the fields of the record's layout.
//
// The record layouts are one table (RecordLayouts) that the reader, the writer, the
// interpreter and the text form all use; the field names below are the text form's names.
//
//   If, Elseif           condition:expr
//   Else, ClrHist, Terminate, DoEvent, ClrRead    (no fields)
//   Label                name:string
//   Jump                 page:string target:int32 condition:expr
//   Call                 page:string target:int32 result:string condition:expr arguments:exprs
//   Exit                 condition:expr
//   Wait                 condition:expr time:expr eventsBlocked:expr(P>=107)
//   Flip                 wipe time transition mode:expr names:exprs clear param0 param1:expr
//                        mask:expr(P>=101) eventsBlocked:expr(P>=107)
//   Calc, WhileInit      expression:expr
//   VarNew               name:string type:byte value:expr scope:byte
//   VarDel               name:string
//   GetProp              object:expr property:expr variable:string
//   SetProp              object:expr property:expr value:expr
//   ObjDel, MediaPlay, MenuClose, TextClr, FormatHist       object:expr
//   TextIns              text:blob object readMark wait:expr eventsBlocked:expr(P>=107)
//   MovieStop            object fadeTime wait:expr eventsBlocked:expr(P>=107)
//   Comment              text:string
//   CallHist             object start count flag:expr
//   While                condition:expr exit:int32
//   WhileLoop            expression:expr loop:int32
//   Break, Continue      condition:expr target:int32
//   GameSave             slot:expr page:string index:int32(P>=105) caption:expr
//   GameLoad             slot:expr
//   PCReset, Reset       page:string index:int32 full:byte
//   PropMotion           name object property value duration curve:expr paused:expr(P>=108)
//   SaveCabinet, LoadCabinet   properties exclude:expr names:exprs
//   every object-creating command (BoxNew, ImgNew, ... PrevMenuNew)   properties
//
// "exprs" is an int32 count and that many expressions, "blob" an int32 count and that many
// bytes (the tagged text of TextIns), and "properties" one expression for each PR id, in
// ascending order, whose bit is set in the page's mask for the record's type code.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "script/expression.h"
#include "script/vocabulary.h"

namespace kivo {

// The versions a page file can have: the player runs 103 to 110; a new page is 104.
inline constexpr int32_t kOldestRunnablePageVersion = 103;
inline constexpr int32_t kNewestPageVersion = 110;
inline constexpr int32_t kNewPageVersion = 104;

enum class FieldKind : uint8_t {
    Int32,       // int32
    Byte,        // one byte
    String,      // counted string
    Expr,        // one stored expression
    ExprList,    // int32 count, then that many expressions
    Blob,        // int32 count, then that many bytes
    Properties,  // one expression per PR id set in the page's mask for the record's type
};

struct FieldLayout {
    std::string_view name;
    FieldKind kind;
    // Pages older than this do not store the field (0: every page stores it).
    int32_t minVersion = 0;

    [[nodiscard]] bool StoredIn(int32_t pageVersion) const { return pageVersion >= minVersion; }
};

struct RecordLayout {
    std::span<const FieldLayout> fields;

    // Position of the field of that name, or -1.
    [[nodiscard]] int IndexOf(std::string_view name) const;
};

// One layout per command code.
[[nodiscard]] std::span<const RecordLayout, kCommandCount> RecordLayouts();
[[nodiscard]] const RecordLayout& LayoutOf(CommandCode code);
// True for the commands that create an object from their component properties.
[[nodiscard]] bool IsComponentCommand(CommandCode code);

// The property masks as the player holds them: 61 masks of 21 bytes back to back. Bit i of
// byte i / 8 of mask t (least significant bit first) says that component commands of type t
// store an expression for PR id i.
inline constexpr int kMaskBytes = 21;
inline constexpr int kMaskBlockBytes = kCommandCount * kMaskBytes;

struct PropertyMasks {
    std::array<uint8_t, kMaskBlockBytes> bytes{};

    [[nodiscard]] bool Has(int typeCode, int32_t propertyId) const;
    void Set(int typeCode, int32_t propertyId, bool present = true);
    // The PR ids of mask t in ascending order (bits above 161 are ignored).
    [[nodiscard]] std::vector<PropertyId> Ids(int typeCode) const;
};

struct PropertyExpr {
    PropertyId id;
    TKivoParser expr;

    friend bool operator==(const PropertyExpr&, const PropertyExpr&) = default;
};
using ComponentProperties = std::vector<PropertyExpr>;

// The value of one field. std::monostate stands for a field the page's version does not store.
using FieldValue =
    std::variant<std::monostate, int32_t, uint8_t, std::string, TKivoParser,
                 std::vector<TKivoParser>, std::vector<uint8_t>, ComponentProperties>;

// One command as stored. fields has one entry per field of the layout, in layout order.
struct CommandRecord {
    uint8_t typeByte = 0;  // as stored; the command is typeByte & 0x7F
    int32_t indent = 0;
    uint8_t disabled = 0;      // kept as the stored byte; non-zero means disabled
    uint8_t continueFlag = 0;  // kept as the stored byte; non-zero means go on in this frame
    int32_t line = 0;
    std::vector<FieldValue> fields;

    // A record of that command with every field the page version stores set to its empty
    // value (0, the empty string, the empty expression, no list).
    [[nodiscard]] static CommandRecord Make(CommandCode code, int32_t pageVersion);

    [[nodiscard]] CommandCode Code() const { return static_cast<CommandCode>(typeByte & 0x7F); }
    [[nodiscard]] const RecordLayout& Layout() const { return LayoutOf(Code()); }
    [[nodiscard]] bool IsDisabled() const { return disabled != 0; }
    [[nodiscard]] bool Continues() const { return continueFlag != 0; }

    // Typed access by field name. Asking for a name the layout does not have, or with the
    // wrong type, is a programming error (std::logic_error). A field the page's version does
    // not store reads as empty: 0, "", the empty expression, an empty list.
    [[nodiscard]] bool Has(std::string_view name) const;
    [[nodiscard]] int32_t Int(std::string_view name) const;
    [[nodiscard]] uint8_t Byte(std::string_view name) const;
    [[nodiscard]] const std::string& String(std::string_view name) const;
    [[nodiscard]] const TKivoParser& Expr(std::string_view name) const;
    [[nodiscard]] std::span<const TKivoParser> Exprs(std::string_view name) const;
    [[nodiscard]] std::span<const uint8_t> Blob(std::string_view name) const;
    [[nodiscard]] const ComponentProperties& Properties() const;
    // The field of that name for changing it in place.
    [[nodiscard]] FieldValue& Field(std::string_view name);

    friend bool operator==(const CommandRecord&, const CommandRecord&) = default;
};

struct PageFile {
    int32_t version = kNewPageVersion;
    uint8_t resultType = PT_INT;
    // The mask table as stored: T masks of S bytes (maskBlock holds T * S bytes when both are
    // positive). Masks() derives the masks the player uses from it.
    int32_t maskCount = kCommandCount;
    int32_t maskSize = kMaskBytes;
    std::vector<uint8_t> maskBlock = std::vector<uint8_t>(kMaskBlockBytes);
    std::vector<CommandRecord> commands;
    // A page of a version above 110: every byte after the version, kept unparsed.
    std::vector<uint8_t> unparsedBody;
    // Bytes after the last command, which the player never reads.
    std::vector<uint8_t> trailer;

    [[nodiscard]] bool IsParsed() const { return version <= kNewestPageVersion; }

    // The masks the player uses. Mask i (i <= 60) takes the first min(S, 1281) stored bytes of
    // entry i, laid from its own first byte onwards: a short entry leaves the high ids clear,
    // a long one runs on into the next masks (which their own entries then overwrite) and
    // whatever falls beyond the 61 masks is dropped. Entries above 60 are ignored.
    [[nodiscard]] PropertyMasks Masks() const;
    // Stores masks in the ordinary shape (T = 61, S = 21).
    void SetMasks(const PropertyMasks& masks);

    // Reads a page. Damaged data raises KivoError naming fileName; an unknown command code
    // raises "不正なコマンド".
    [[nodiscard]] static PageFile Read(std::span<const uint8_t> bytes, std::string fileName);
    // Writes the page. A record that does not match its layout, the page version or the
    // page's masks raises KivoError naming fileName, since it could not be read back.
    [[nodiscard]] std::vector<uint8_t> Write(const std::string& fileName = "") const;

    friend bool operator==(const PageFile&, const PageFile&) = default;
};

}  // namespace kivo
