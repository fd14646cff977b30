#pragma once
// Stored expressions and their evaluation. A page holds every condition, value and argument as
// a list of operation records (`TOpeData`) that are run in order against the variable table;
// the value of the expression is whatever the records leave in the temporary "____arg".
//
// The records keep every byte as they were read (the operand kind byte, a flag's raw byte, a
// float's ten bytes), so a page read and written again is byte-identical.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/byte_io.h"
#include "base/ext80.h"

namespace kivo {

class TCustomParam;
class TParamCollection;
class SystemFunctionRegistry;
struct ScriptContext;

// Operation codes of a stored step, by their stored byte value.
enum class OpCode : uint8_t {
    ocNone = 0,
    ocTo = 1,
    ocPlus = 2,
    ocMinus = 3,
    ocMul = 4,
    ocDiv = 5,
    ocMod = 6,
    ocOr = 7,
    ocAnd = 8,
    ocXor = 9,
    ocDimTo = 10,
    ocFunc = 11,
    ocEqual = 12,
    ocBig = 13,
    ocSmall = 14,
    ocEBig = 15,
    ocESmall = 16,
    ocShiftL = 17,
    ocShiftR = 18,
    ocComboStr = 19,
    ocNEqual = 20,
};
inline constexpr uint8_t kLastOpCode = 20;
// Function indices run from 0 to this; a stored index above it is damaged data.
inline constexpr uint8_t kLastFunctionIndex = 144;

// Stored operand kinds. Any kind byte other than 1 to 4 is a variable reference; the byte
// itself is kept so that it is written back unchanged.
enum class OperandKind : uint8_t { Reference = 0, Integer = 1, Float = 2, Flag = 3, String = 4 };

struct TOperand {
    uint8_t kindByte = static_cast<uint8_t>(OperandKind::Reference);
    int32_t intValue = 0;  // kind 1
    Ext80 floatValue{};    // kind 2, the ten bytes as stored
    uint8_t flagByte = 0;  // kind 3, the byte as stored (non-zero is true)
    std::string text;      // kind 4: the literal; a reference: the variable name

    [[nodiscard]] OperandKind Kind() const {
        return kindByte >= 1 && kindByte <= 4 ? static_cast<OperandKind>(kindByte)
                                              : OperandKind::Reference;
    }
    [[nodiscard]] bool IsReference() const { return Kind() == OperandKind::Reference; }

    [[nodiscard]] static TOperand Integer(int32_t value);
    [[nodiscard]] static TOperand Float(Extended value);
    [[nodiscard]] static TOperand Flag(bool value);
    [[nodiscard]] static TOperand String(std::string value);
    [[nodiscard]] static TOperand Reference(std::string name);

    friend bool operator==(const TOperand&, const TOperand&) = default;
};

// One step: opcode, the variable that receives the result, the system function index (only
// meaningful for ocFunc) and the operands.
struct TOpeData {
    uint8_t opcode = 0;  // kept as stored; codes above 20 fail when evaluated
    std::string target;
    uint8_t functionIndex = 0;
    std::vector<TOperand> operands;

    [[nodiscard]] bool Is(OpCode code) const { return opcode == static_cast<uint8_t>(code); }

    friend bool operator==(const TOpeData&, const TOpeData&) = default;
};

// The result of one evaluation: the value of "____arg", or none.
using ExpressionResult = std::unique_ptr<TCustomParam>;

// A stored expression: the list of steps. Copying duplicates every step (objects keep a copy
// of a command's expression to evaluate it again later).
class TKivoParser {
  public:
    TKivoParser() = default;
    explicit TKivoParser(std::vector<TOpeData> steps) : steps_(std::move(steps)) {}

    // Reads int32 K and K records, replacing the current steps. Counts are checked against the
    // bytes left and a function index above 144 is rejected; on failure the steps are unchanged.
    void Load(ByteReader& reader);
    // Writes the stored form; a loaded expression is written back byte for byte.
    void Save(ByteWriter& writer) const;

    [[nodiscard]] const std::vector<TOpeData>& Steps() const { return steps_; }
    [[nodiscard]] bool Empty() const { return steps_.empty(); }

    // Runs the steps against the variable table. Returns the value of "____arg" when the last
    // step assigns it, otherwise none. A failing step raises KivoError after the steps before
    // it kept their effects; the temporaries of this run are private to it and freed either way.
    // System functions get context (none outside a game: those that need it then fail).
    [[nodiscard]] ExpressionResult Evaluate(TParamCollection& variables,
                                            const SystemFunctionRegistry& functions,
                                            const ScriptContext* context = nullptr) const;
    // Readings of the result for callers that need one type; none when there is no result.
    [[nodiscard]] std::optional<int32_t> EvaluateInt(TParamCollection& variables,
                                                     const SystemFunctionRegistry& functions,
                                                     const ScriptContext* context = nullptr) const;
    [[nodiscard]] std::optional<Extended> EvaluateFloat(
        TParamCollection& variables, const SystemFunctionRegistry& functions,
        const ScriptContext* context = nullptr) const;
    [[nodiscard]] std::optional<bool> EvaluateFlag(TParamCollection& variables,
                                                   const SystemFunctionRegistry& functions,
                                                   const ScriptContext* context = nullptr) const;
    [[nodiscard]] std::optional<std::string> EvaluateString(
        TParamCollection& variables, const SystemFunctionRegistry& functions,
        const ScriptContext* context = nullptr) const;

    friend bool operator==(const TKivoParser&, const TKivoParser&) = default;

  private:
    std::vector<TOpeData> steps_;
};

}  // namespace kivo
