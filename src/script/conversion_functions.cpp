#include "script/conversion_functions.h"

#include <cinttypes>
#include <cstdio>
#include <string>

#include "script/expression_compiler.h"
#include "script/function_arguments.h"
#include "script/param_collection.h"
#include "script/string_functions.h"

namespace kivo {

namespace {

// The digits of IntToStr: a decimal number of 0 to kMaxFormatDigits, nothing else (the text
// never becomes part of a format string).
[[nodiscard]] int32_t ParseDigits(std::string_view text) {
    int32_t digits = 0;
    if (!TryParseInt(text, digits) || digits < 0 || digits > kMaxFormatDigits) {
        throw KivoError("IntToStr:桁数が不正です");
    }
    return digits;
}

// text padded with zeros on the left to at least digits characters.
[[nodiscard]] std::string PadZeros(std::string text, int32_t digits) {
    if (static_cast<int32_t>(text.size()) < digits) {
        text.insert(0, static_cast<size_t>(digits) - text.size(), '0');
    }
    return text;
}

void IntToStr(const FunctionCall& call) {
    const int32_t value = IntArgument(call, 0);
    if (!HasArgument(call, 1)) return call.target.SetString(IntToString(value));
    const int32_t digits = ParseDigits(StringArgument(call, 1));
    // The minus sign comes before the padded digits.
    const uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value)
                                         : static_cast<uint32_t>(value);
    std::string text = PadZeros(std::to_string(magnitude), digits);
    call.target.SetString(value < 0 ? "-" + text : text);
}

void IntToHex(const FunctionCall& call) {
    // Negative numbers show their 32-bit two's complement.
    const auto value = static_cast<uint32_t>(IntArgument(call, 0));
    const int32_t digits = IntArgument(call, 1);
    if (digits > kMaxFormatDigits) throw KivoError("IntToHex:桁数が不正です");
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%" PRIX32, value);
    call.target.SetString(PadZeros(buffer, digits));
}

void StrToIntDef(const FunctionCall& call) {
    int32_t value = 0;
    call.target.SetInteger(TryParseInt(StringArgument(call, 0), value) ? value
                                                                        : IntArgument(call, 1));
}

void StrToFloatDef(const FunctionCall& call) {
    Extended value = 0;
    call.target.SetFloat(TryParseFloat(StringArgument(call, 0), value) ? value
                                                                        : FloatArgument(call, 1));
}

void Int(const FunctionCall& call) {
    call.target.SetInteger(FloatToInt(FloatArgument(call, 0)));
}

void Float(const FunctionCall& call) {
    call.target.SetFloat(FloatArgument(call, 0));
}

// Counts one level of Calc for as long as it runs.
class CalcNesting {
  public:
    explicit CalcNesting(TParamCollection& variables) : variables_(variables) {
        if (variables_.calcNesting >= kMaxCalcNesting) {
            throw KivoError("Calc:入れ子が深すぎます");
        }
        ++variables_.calcNesting;
    }
    ~CalcNesting() { --variables_.calcNesting; }
    CalcNesting(const CalcNesting&) = delete;
    CalcNesting& operator=(const CalcNesting&) = delete;

  private:
    TParamCollection& variables_;
};

void Calc(const FunctionCall& call) {
    const std::string text = StringArgument(call, 0);
    const std::string_view trimmed = TrimBlanks(text);
    if (trimmed.empty()) return;
    const CalcNesting nesting(call.variables);
    const TKivoParser expression = CompileExpression(trimmed);
    (void)expression.Evaluate(call.variables, call.functions, call.context);
    call.target.SetFlag(true);
}

}  // namespace

void RegisterConversionFunctions(SystemFunctionRegistry& registry) {
    RegisterFunctions(registry, {
                                    {"IntToStr", IntToStr},
                                    {"IntToHex", IntToHex},
                                    {"StrToIntDef", StrToIntDef},
                                    {"StrToFloatDef", StrToFloatDef},
                                    {"Int", Int},
                                    {"Float", Float},
                                    {"Calc", Calc},
                                });
}

}  // namespace kivo
