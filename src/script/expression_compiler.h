#pragma once
// The compiler from expression text to stored steps, used at run time by Calc and by the
// variable fields of tagged text. Text is Shift-JIS and is walked by character: a trail byte
// that looks like '[' or '\' belongs to its double-byte character and is never syntax.
//
// Syntax: integer and float literals, TRUE and FALSE, double-quoted strings (\" \\ \n), key
// names (VkmRETURN ...) that stand for their key codes,
// variable names, name[i, j] elements, name(a, b) calls, parentheses, unary + and -, and the
// two-operand operators in nine groups from tightest to loosest:
//   * / %   + -   << >>   == >= <= > < <>   ++   &   ^   |   =
// Within a group the leftmost is taken first. Intermediate values go to temporaries named
// "____0", "____1" ..., array elements to "____d_N", and the value of the whole expression to
// "____arg" (an assignment has no value).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/expression.h"

namespace kivo {

// One compiled step with its operands still as text. For ocFunc the first operand is the
// function name.
struct TBuildOpeData {
    uint8_t opcode = 0;
    std::string target;
    uint8_t functionIndex = 0;
    std::vector<std::string> operands;
};

class TBuildKivoParser {
  public:
    // Compiles text into steps (appended to those compiled before). Raises KivoError with
    // "構文エラー", "配列の添字が不正です", "\"name\" 関数名がありません" or
    // "name 引数の数が不正です".
    void Compile(std::string_view text);

    [[nodiscard]] const std::vector<TBuildOpeData>& Steps() const { return steps_; }
    // The stored form: text operands become integer, float, flag or string constants or
    // variable references.
    [[nodiscard]] TKivoParser Build() const;

  private:
    void CompileCodes(std::u32string text);
    std::u32string NewTemp();
    std::u32string NewElementTemp();
    std::u32string CompileArgument(std::u32string argument);
    void Emit(OpCode code, const std::u32string& target,
              const std::vector<std::u32string>& operands);
    // Compiles the arguments, emits the step (head first) into a new temporary and puts the
    // temporary in place of text[first, last].
    void EmitInPlace(OpCode code, std::u32string head, std::vector<std::u32string> arguments,
                     std::u32string& text, size_t first, size_t last);
    void Optimise(size_t firstStep);

    std::vector<TBuildOpeData> steps_;
    int32_t counter_ = 0;
};

// Compiles and encodes text in one go.
[[nodiscard]] TKivoParser CompileExpression(std::string_view text);

}  // namespace kivo
