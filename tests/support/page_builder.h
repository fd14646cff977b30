#pragma once
// Fixture writers for scenario pages. They lay out the bytes of a page file themselves, field by
// field, without the player's page writer, so that tests of the reader and the interpreter do
// not test the writer against itself.
//
//   PageBuilder page;
//   page.Add(Calc("x = x + 1").Continue())
//       .Add(If("x < 10")).Add(Jump("", 0, "").Indent(1))
//       .Mask(kBoxNewCode, {0, 3, 4})
//       .Add(CommandBuilder(kBoxNewCode).Properties({{0, Str("box")}, {3, Int(10)}, {4,
//       Int(20)}}));
//   std::vector<uint8_t> bytes = page.Bytes();
//
// The shorthand commands write every field of a version 110 page; for older pages build the
// record field by field with CommandBuilder.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kivo::test {

// The ten bytes of an 80-bit extended float holding value (finite values only).
[[nodiscard]] std::array<uint8_t, 10> Ext80Bytes(double value);

// Little-endian appender.
class ByteBuilder {
  public:
    ByteBuilder& U8(uint8_t v);
    ByteBuilder& I32(int32_t v);
    ByteBuilder& Str(std::string_view text);  // counted string
    ByteBuilder& F80(double v);
    ByteBuilder& Raw(std::span<const uint8_t> bytes);
    [[nodiscard]] const std::vector<uint8_t>& Data() const { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

// One stored operand: its kind byte and value.
struct Operand {
    std::vector<uint8_t> bytes;

    [[nodiscard]] static Operand Int(int32_t v);
    [[nodiscard]] static Operand Float(double v);
    [[nodiscard]] static Operand Flag(bool v);
    [[nodiscard]] static Operand Str(std::string_view text);
    [[nodiscard]] static Operand Var(std::string_view name);  // kind 0: a variable reference
    // Any kind byte with a counted-string payload (kinds above 4 are references too).
    [[nodiscard]] static Operand Ref(uint8_t kind, std::string_view name);
};

// Stored opcodes, as bytes.
enum Op : uint8_t {
    kOpNone,
    kOpTo,
    kOpPlus,
    kOpMinus,
    kOpMul,
    kOpDiv,
    kOpMod,
    kOpOr,
    kOpAnd,
    kOpXor,
    kOpDimTo,
    kOpFunc,
    kOpEqual,
    kOpBig,
    kOpSmall,
    kOpEBig,
    kOpESmall,
    kOpShiftL,
    kOpShiftR,
    kOpComboStr,
    kOpNEqual
};

// A stored expression: a list of operation records.
class ExprBuilder {
  public:
    ExprBuilder() = default;
    // Builds the records of a simple text exactly as the expression compiler does: one
    // operand, or two operands and one two-operand operator, optionally assigned to a variable.
    //   "7", "1.5", "TRUE", "x", "@Result"  ->  ocTo ____arg <- operand
    //   "a + b", "x < 10", "s <> \"\""       ->  op ____0 <- a, b; ocTo ____arg <- ____0
    //   "x = a", "x = a + b"               ->  the same with x in place of ____arg
    // A string literal is first moved into a temporary of its own ("\"ab\"" gives
    // ocTo ____0 <- "ab"; ocTo ____arg <- ____0). Unary signs, calls, brackets and more than
    // one operator are not understood. An empty text gives the empty expression.
    ExprBuilder(const char* text);  // NOLINT: implicit so that commands take text directly
    ExprBuilder(std::string_view text);

    ExprBuilder& Step(uint8_t opcode, std::string_view target, std::vector<Operand> operands);
    ExprBuilder& Func(std::string_view target, uint8_t functionIndex,
                      std::vector<Operand> operands);
    [[nodiscard]] std::vector<uint8_t> Bytes() const;
    [[nodiscard]] int StepCount() const { return steps_; }

  private:
    void Parse(std::string_view text);

    int steps_ = 0;
    ByteBuilder records_;
};

// Shorthands for one-operand expressions ("ocTo ____arg <- value").
[[nodiscard]] ExprBuilder Int(int32_t v);
[[nodiscard]] ExprBuilder Float(double v);
[[nodiscard]] ExprBuilder Flag(bool v);
[[nodiscard]] ExprBuilder Str(std::string_view text);
[[nodiscard]] ExprBuilder Var(std::string_view name);

// One command record: the common header, then the fields in the order they are added.
class CommandBuilder {
  public:
    explicit CommandBuilder(int typeByte) : type_(static_cast<uint8_t>(typeByte)) {}

    CommandBuilder& Indent(int32_t level);
    CommandBuilder& Disabled(uint8_t flag = 1);
    CommandBuilder& Continue(uint8_t flag = 1);
    CommandBuilder& Line(int32_t line);

    CommandBuilder& Int32(int32_t v);
    CommandBuilder& Byte(uint8_t v);
    CommandBuilder& String(std::string_view text);
    CommandBuilder& Expr(const ExprBuilder& expr);
    CommandBuilder& Exprs(const std::vector<ExprBuilder>& list);  // int32 count, expressions
    CommandBuilder& Blob(std::span<const uint8_t> bytes);         // int32 count, bytes
    // Component properties: the expressions in ascending PR id order (the page's mask for this
    // type must list exactly these ids).
    CommandBuilder& Properties(const std::map<int, ExprBuilder>& properties);
    CommandBuilder& Raw(std::span<const uint8_t> bytes);

    [[nodiscard]] std::vector<uint8_t> Bytes() const;

  private:
    uint8_t type_;
    int32_t indent_ = 0;
    uint8_t disabled_ = 0;
    uint8_t continue_ = 0;
    int32_t line_ = 0;
    ByteBuilder fields_;
};

// Command codes the shorthands and tests use by name.
enum CommandCodeByte : int {
    kIfCode = 0,
    kElseifCode = 1,
    kElseCode = 2,
    kLabelCode = 3,
    kJumpCode = 4,
    kCallCode = 5,
    kExitCode = 6,
    kWaitCode = 7,
    kBoxNewCode = 8,
    kFlipCode = 13,
    kCalcCode = 14,
    kVarNewCode = 15,
    kVarDelCode = 16,
    kTextInsCode = 20,
    kCommentCode = 27,
    kWhileCode = 31,
    kWhileInitCode = 32,
    kWhileLoopCode = 33,
    kBreakCode = 34,
    kContinueCode = 35,
    kGameSaveCode = 38,
    kPCResetCode = 40,
    kResetCode = 41,
    kTerminateCode = 45,
    kDoEventCode = 46,
    kPropMotionCode = 57,
    kSaveCabinetCode = 59,
    kLoadCabinetCode = 60
};

[[nodiscard]] CommandBuilder If(const ExprBuilder& condition);
[[nodiscard]] CommandBuilder Elseif(const ExprBuilder& condition);
[[nodiscard]] CommandBuilder Else();
[[nodiscard]] CommandBuilder Label(std::string_view name);
[[nodiscard]] CommandBuilder Jump(std::string_view page, int32_t target,
                                  const ExprBuilder& condition);
[[nodiscard]] CommandBuilder Call(std::string_view page, int32_t target,
                                  std::string_view resultVariable, const ExprBuilder& condition,
                                  const std::vector<ExprBuilder>& arguments);
[[nodiscard]] CommandBuilder Exit(const ExprBuilder& condition);
[[nodiscard]] CommandBuilder Wait(const ExprBuilder& condition, const ExprBuilder& time,
                                  const ExprBuilder& eventsBlocked = ExprBuilder());
[[nodiscard]] CommandBuilder Calc(const ExprBuilder& expression);
[[nodiscard]] CommandBuilder VarNew(std::string_view name, uint8_t type, const ExprBuilder& value,
                                    uint8_t scope = 0);
[[nodiscard]] CommandBuilder VarDel(std::string_view name);
[[nodiscard]] CommandBuilder Comment(std::string_view text);
[[nodiscard]] CommandBuilder While(const ExprBuilder& condition, int32_t exitIndex);
[[nodiscard]] CommandBuilder WhileInit(const ExprBuilder& expression);
[[nodiscard]] CommandBuilder WhileLoop(const ExprBuilder& expression, int32_t loopIndex);
[[nodiscard]] CommandBuilder Break(const ExprBuilder& condition, int32_t target);
[[nodiscard]] CommandBuilder ContinueLoop(const ExprBuilder& condition, int32_t target);
[[nodiscard]] CommandBuilder PCReset(std::string_view page, int32_t index, uint8_t full);
[[nodiscard]] CommandBuilder Terminate();
[[nodiscard]] CommandBuilder DoEvent();

class PageBuilder {
  public:
    PageBuilder& Version(int32_t version);
    PageBuilder& ResultType(uint8_t type);
    // Sets the ordinary 61 masks of 21 bytes: the given PR ids for command type typeCode.
    PageBuilder& Mask(int typeCode, std::initializer_list<int> ids);
    // Stores the mask table exactly as given: T entries of S bytes (bytes holds T * S bytes).
    PageBuilder& RawMasks(int32_t count, int32_t size, std::vector<uint8_t> bytes);
    PageBuilder& Add(const CommandBuilder& command);
    // Overrides the stored command count (for damaged fixtures).
    PageBuilder& CommandCount(int32_t count);
    PageBuilder& Trailer(std::span<const uint8_t> bytes);

    // Number of commands added so far: the index the next command gets.
    [[nodiscard]] int32_t Size() const { return static_cast<int32_t>(commands_.size()); }
    [[nodiscard]] std::vector<uint8_t> Bytes() const;

  private:
    int32_t version_ = 110;
    uint8_t resultType_ = 1;
    int32_t maskCount_ = 61;
    int32_t maskSize_ = 21;
    std::vector<uint8_t> masks_ = std::vector<uint8_t>(61 * 21);
    std::vector<std::vector<uint8_t>> commands_;
    std::optional<int32_t> countOverride_;
    std::vector<uint8_t> trailer_;
};

// Command codes run from 0 to 60.
inline constexpr int kCommandCodeCount = 61;

// A record of every field of command `code` as a page of `version` stores it, with values that
// differ from field to field (derived from seed) so that a reader that takes a wrong turn
// cannot land on the same bytes. Component properties are PR_NAME and PR_LEFT.
[[nodiscard]] CommandBuilder BuildRecord(int code, int32_t version, int seed);
// A page of `version` holding one such record of every command, in code order, with the masks
// the component records need.
[[nodiscard]] PageBuilder EveryCommandPage(int32_t version);

}  // namespace kivo::test
