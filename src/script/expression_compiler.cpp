#include "script/expression_compiler.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "base/error.h"
#include "base/sjis.h"
#include "script/param.h"
#include "script/vocabulary.h"

namespace kivo {

namespace {

// The compiler works on character codes: a single byte is its own code, a double-byte
// character is lead * 256 + trail (at least 0x8140). Searching the codes for '(' or '\'
// therefore never finds half of a double-byte character.
using Codes = std::u32string;

constexpr std::u32string_view kOperatorChars = U"%&*+-/<=>^|";
// Characters that make an argument an expression of its own.
constexpr std::u32string_view kArgumentSyntax = U"+-*/%|&^=[](),<>";
constexpr std::string_view kTempPrefix = "____";
constexpr std::string_view kElementPrefix = "____d_";
constexpr std::string_view kResultName = "____arg";

[[noreturn]] void ThrowSyntax() {
    throw KivoError("構文エラー");
}

Codes ToCodes(std::string_view text) {
    Codes codes;
    sjis::ForEachChar(text, [&](size_t pos, size_t) { codes += sjis::CharCode(text, pos); });
    return codes;
}

std::string FromCodes(std::u32string_view codes) {
    std::string text;
    for (char32_t c : codes) {
        if (c > 0xFF) text += static_cast<char>(c >> 8);
        text += static_cast<char>(c & 0xFF);
    }
    return text;
}

bool IsBlank(char32_t c) {
    return c <= 0x20;
}
bool IsOperatorChar(char32_t c) {
    return kOperatorChars.find(c) != Codes::npos;
}
bool IsIdentifierChar(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
bool IsDigit(char32_t c) {
    return c >= '0' && c <= '9';
}

Codes Trim(std::u32string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return Codes(text);
}

// Position of the bracket closing the one at open, counting ( ) and [ ] together.
size_t MatchingClose(const Codes& text, size_t open) {
    std::u32string stack;
    for (size_t i = open; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c == '(' || c == '[') {
            stack += c == '(' ? U')' : U']';
        } else if (c == ')' || c == ']') {
            if (stack.empty() || stack.back() != c) ThrowSyntax();
            stack.pop_back();
            if (stack.empty()) return i;
        }
    }
    ThrowSyntax();
}

// Splits at the commas outside brackets. Blank text has no parts.
std::vector<Codes> SplitTopLevel(const Codes& text) {
    std::vector<Codes> parts;
    if (Trim(text).empty()) return parts;
    int depth = 0;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c == '(' || c == '[') ++depth;
        if (c == ')' || c == ']') --depth;
        if (depth < 0) ThrowSyntax();
        if (c == ',' && depth == 0) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    if (depth != 0) ThrowSyntax();
    parts.push_back(text.substr(start));
    return parts;
}

// Removes parentheses that wrap the whole text.
Codes Unwrap(Codes text) {
    text = Trim(text);
    while (text.size() >= 2 && text.front() == '(' && MatchingClose(text, 0) == text.size() - 1) {
        text = Trim(std::u32string_view(text).substr(1, text.size() - 2));
    }
    return text;
}

bool IsPlainTemp(std::string_view name) {
    return name.starts_with(kTempPrefix) && !name.starts_with(kElementPrefix) &&
           name != kResultName;
}

// A number literal so far: digits with an optional point, then 'e' or 'E'. A sign after it
// belongs to the exponent ("1e-5" is one number).
bool EndsInExponentMark(std::u32string_view token) {
    Codes trimmed = Trim(token);
    token = trimmed;
    if (token.size() < 2 || (token.back() != 'e' && token.back() != 'E')) return false;
    token.remove_suffix(1);
    if (!IsDigit(token.front()) && token.front() != '.') return false;
    bool point = false;
    bool digit = false;
    for (char32_t c : token) {
        if (c == '.' && !point) {
            point = true;
        } else if (IsDigit(c)) {
            digit = true;
        } else {
            return false;
        }
    }
    return digit;
}

struct Token {
    Codes text;
    int opcode = 0;  // 0 for an operand
};

// Splits operator-free pieces from the operators, longest operator first.
std::vector<Token> Tokenize(const Codes& text) {
    static constexpr std::array<std::u32string_view, 7> kTwoChar{U"==", U">=", U"<=", U"++",
                                                                 U"<>", U"<<", U">>"};
    std::vector<Token> tokens;
    Codes operand;
    auto flush = [&] {
        Codes trimmed = Trim(operand);
        if (!trimmed.empty()) tokens.push_back({trimmed, 0});
        operand.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (!IsOperatorChar(c) || ((c == '-' || c == '+') && EndsInExponentMark(operand))) {
            operand += c;
            continue;
        }
        flush();
        std::u32string_view symbol = std::u32string_view(text).substr(i, 1);
        if (i + 1 < text.size()) {
            std::u32string_view pair = std::u32string_view(text).substr(i, 2);
            if (std::find(kTwoChar.begin(), kTwoChar.end(), pair) != kTwoChar.end()) {
                symbol = pair;
                ++i;
            }
        }
        std::optional<int> code = OperatorBySymbol(FromCodes(symbol));
        if (!code) ThrowSyntax();
        tokens.push_back({Codes(symbol), *code});
    }
    flush();
    return tokens;
}

// Key names stand for their key codes (@KeyPush[VkmRETURN]): scripts test keys by name, and
// the stored expressions hold the numbers.
std::optional<int32_t> KeyCode(std::string_view token) {
    if (!token.starts_with("Vkm")) return std::nullopt;
    for (const NamedConstant& key : Constants(ConstantGroup::Key)) {
        if (key.name == token) return key.value;
    }
    return std::nullopt;
}

// Text operand -> stored operand.
TOperand Encode(const std::string& token) {
    int32_t intValue = 0;
    if (TryParseInt(token, intValue)) return TOperand::Integer(intValue);
    Extended floatValue = 0;
    if (TryParseFloat(token, floatValue)) return TOperand::Float(floatValue);
    if (token == "TRUE" || token == "FALSE") return TOperand::Flag(token == "TRUE");
    Codes codes = ToCodes(token);
    if (codes.size() >= 2 && codes.front() == '"' && codes.back() == '"') {
        Codes literal;
        for (size_t i = 1; i + 1 < codes.size(); ++i) {
            if (codes[i] == '\\' && i + 2 < codes.size()) {
                char32_t next = codes[i + 1];
                if (next == '"' || next == '\\') {
                    literal += next;
                    ++i;
                    continue;
                }
                if (next == 'n') {
                    literal += U"\r\n";
                    ++i;
                    continue;
                }
            }
            literal += codes[i];
        }
        return TOperand::String(FromCodes(literal));
    }
    if (std::optional<int32_t> key = KeyCode(token)) return TOperand::Integer(*key);
    return TOperand::Reference(token);
}

}  // namespace

std::u32string TBuildKivoParser::NewTemp() {
    return ToCodes(std::string(kTempPrefix) + std::to_string(counter_++));
}

std::u32string TBuildKivoParser::NewElementTemp() {
    return ToCodes(std::string(kElementPrefix) + std::to_string(counter_++));
}

void TBuildKivoParser::Emit(OpCode code, const std::u32string& target,
                            const std::vector<std::u32string>& operands) {
    TBuildOpeData step;
    step.opcode = static_cast<uint8_t>(code);
    step.target = FromCodes(target);
    for (const Codes& operand : operands)
        step.operands.push_back(FromCodes(operand));
    if (code == OpCode::ocFunc) {
        const std::string& name = step.operands.front();
        std::optional<int> index = FunctionIndex(name);
        if (!index) throw KivoError("\"" + name + "\" 関数名がありません");
        const FunctionInfo* info = FindFunction(*index);
        if (!info->AcceptsArgumentCount(static_cast<int>(operands.size()) - 1)) {
            throw KivoError(name + " 引数の数が不正です");
        }
        step.functionIndex = static_cast<uint8_t>(*index);
    }
    steps_.push_back(std::move(step));
}

std::u32string TBuildKivoParser::CompileArgument(std::u32string argument) {
    argument = Unwrap(std::move(argument));
    if (argument.find_first_of(kArgumentSyntax) == Codes::npos) return argument;
    Codes temp = NewTemp();
    CompileCodes(temp + U"=" + argument);
    return temp;
}

void TBuildKivoParser::EmitInPlace(OpCode code, std::u32string head,
                                   std::vector<std::u32string> arguments, std::u32string& text,
                                   size_t first, size_t last) {
    std::vector<Codes> operands{std::move(head)};
    for (Codes& argument : arguments)
        operands.push_back(CompileArgument(std::move(argument)));
    Codes temp = code == OpCode::ocDimTo ? NewElementTemp() : NewTemp();
    Emit(code, temp, operands);
    text.replace(first, last - first + 1, temp);
}

void TBuildKivoParser::Compile(std::string_view text) {
    size_t firstStep = steps_.size();
    Codes codes = ToCodes(text);
    // String literals first, so nothing inside them is taken for syntax.
    for (size_t searchFrom = 0;;) {
        size_t open = codes.find('"', searchFrom);
        if (open == Codes::npos) break;
        size_t close = Codes::npos;
        for (size_t i = open + 1; i < codes.size(); ++i) {
            if (codes[i] == '\\' && i + 1 < codes.size()) {
                ++i;
            } else if (codes[i] == '"') {
                close = i;
                break;
            }
        }
        if (close == Codes::npos) break;
        Codes temp = NewTemp();
        Emit(OpCode::ocTo, temp, {codes.substr(open, close - open + 1)});
        codes.replace(open, close - open + 1, temp);
        searchFrom = open + temp.size();
    }
    CompileCodes(std::move(codes));
    Optimise(firstStep);
}

void TBuildKivoParser::CompileCodes(std::u32string text) {
    // Calls, innermost (last) first: a "(" right after a name, blanks allowed between.
    for (;;) {
        size_t open = Codes::npos;
        size_t nameStart = 0;
        for (size_t p = text.rfind('('); p != Codes::npos;
             p = p == 0 ? Codes::npos : text.rfind('(', p - 1)) {
            size_t end = p;
            while (end > 0 && IsBlank(text[end - 1]))
                --end;
            size_t start = end;
            while (start > 0 && IsIdentifierChar(text[start - 1]))
                --start;
            if (start < end) {
                open = p;
                nameStart = start;
                break;
            }
        }
        if (open == Codes::npos) break;
        size_t close = MatchingClose(text, open);
        Codes name = Trim(std::u32string_view(text).substr(nameStart, open - nameStart));
        std::vector<Codes> arguments = SplitTopLevel(text.substr(open + 1, close - open - 1));
        EmitInPlace(OpCode::ocFunc, std::move(name), std::move(arguments), text, nameStart, close);
    }

    // Array elements, innermost (last) first.
    for (size_t open = text.rfind('['); open != Codes::npos; open = text.rfind('[')) {
        size_t close = MatchingClose(text, open);
        size_t start = open;
        while (start > 0) {
            char32_t c = text[start - 1];
            if (IsBlank(c) || IsOperatorChar(c) || c == '(' || c == ')' || c == ',' || c == '[' ||
                c == ']') {
                break;
            }
            --start;
        }
        if (start == open) ThrowSyntax();
        std::vector<Codes> indices = SplitTopLevel(text.substr(open + 1, close - open - 1));
        if (indices.empty()) throw KivoError("配列の添字が不正です");
        EmitInPlace(OpCode::ocDimTo, text.substr(start, open - start), std::move(indices), text,
                    start, close);
    }

    // Plain parentheses, innermost (last) first.
    for (size_t open = text.rfind('('); open != Codes::npos; open = text.rfind('(')) {
        size_t close = MatchingClose(text, open);
        Codes temp = NewTemp();
        CompileCodes(temp + U"=" + text.substr(open + 1, close - open - 1));
        text.replace(open, close - open + 1, temp);
    }
    if (text.find_first_of(U")],") != Codes::npos) ThrowSyntax();

    std::vector<Token> tokens = Tokenize(text);

    // Unary signs: a sign at the start or after another operator belongs to its operand and
    // binds tighter than any two-operand operator.
    for (size_t i = 0; i < tokens.size(); ++i) {
        bool sign = tokens[i].opcode == static_cast<int>(OpCode::ocPlus) ||
                    tokens[i].opcode == static_cast<int>(OpCode::ocMinus);
        if (!sign || (i > 0 && tokens[i - 1].opcode == 0)) continue;
        if (i + 1 >= tokens.size() || tokens[i + 1].opcode != 0) ThrowSyntax();
        Codes operand = tokens[i + 1].text;
        if (tokens[i].opcode == static_cast<int>(OpCode::ocMinus)) {
            std::string literal = FromCodes(operand);
            int32_t intValue = 0;
            Extended floatValue = 0;
            if (!literal.starts_with('-') &&
                (TryParseInt("-" + literal, intValue) || TryParseFloat(literal, floatValue))) {
                operand = U"-" + operand;
            } else {
                Codes temp = NewTemp();
                Emit(OpCode::ocMinus, temp, {U"0", operand});
                operand = temp;
            }
        }
        tokens[i] = {operand, 0};
        tokens.erase(tokens.begin() + static_cast<ptrdiff_t>(i) + 1);
    }

    bool assigned = false;
    for (;;) {
        size_t best = tokens.size();
        int bestGroup = 0;
        for (size_t i = 0; i < tokens.size(); ++i) {
            if (tokens[i].opcode == 0) continue;
            int group = Operators()[static_cast<size_t>(tokens[i].opcode)].precedence;
            if (best == tokens.size() || group < bestGroup) {
                best = i;
                bestGroup = group;
            }
        }
        if (best == tokens.size()) break;
        if (best == 0 || best + 1 >= tokens.size() || tokens[best - 1].opcode != 0 ||
            tokens[best + 1].opcode != 0) {
            ThrowSyntax();
        }
        auto code = static_cast<OpCode>(tokens[best].opcode);
        auto first = tokens.begin() + static_cast<ptrdiff_t>(best) - 1;
        if (code == OpCode::ocTo) {
            Emit(code, tokens[best - 1].text, {tokens[best + 1].text});
            tokens.erase(first, first + 3);
            assigned = true;
        } else {
            Codes temp = NewTemp();
            Emit(code, temp, {tokens[best - 1].text, tokens[best + 1].text});
            tokens.erase(first + 1, first + 3);
            *first = {temp, 0};
        }
    }
    if (assigned) {
        if (!tokens.empty()) ThrowSyntax();
        return;
    }
    if (tokens.size() > 1) ThrowSyntax();
    Emit(OpCode::ocTo, ToCodes(kResultName), {tokens.empty() ? Codes() : tokens.front().text});
}

void TBuildKivoParser::Optimise(size_t firstStep) {
    // A copy from one plain temporary to another adds nothing: later uses of the copy read
    // the original instead.
    std::unordered_map<std::string, std::string> replaced;
    std::vector<TBuildOpeData> kept(steps_.begin(),
                                    steps_.begin() + static_cast<ptrdiff_t>(firstStep));
    for (size_t i = firstStep; i < steps_.size(); ++i) {
        TBuildOpeData step = std::move(steps_[i]);
        for (std::string& operand : step.operands) {
            if (auto it = replaced.find(operand); it != replaced.end()) operand = it->second;
        }
        if (step.opcode == static_cast<uint8_t>(OpCode::ocTo) && step.operands.size() == 1 &&
            IsPlainTemp(step.target) && IsPlainTemp(step.operands.front())) {
            replaced[step.target] = step.operands.front();
            continue;
        }
        kept.push_back(std::move(step));
    }
    steps_ = std::move(kept);
}

TKivoParser TBuildKivoParser::Build() const {
    std::vector<TOpeData> steps;
    for (const TBuildOpeData& build : steps_) {
        TOpeData step;
        step.opcode = build.opcode;
        step.target = build.target;
        step.functionIndex = build.functionIndex;
        bool call = build.opcode == static_cast<uint8_t>(OpCode::ocFunc);
        for (size_t i = call ? 1 : 0; i < build.operands.size(); ++i) {
            step.operands.push_back(Encode(build.operands[i]));
        }
        steps.push_back(std::move(step));
    }
    return TKivoParser(std::move(steps));
}

TKivoParser CompileExpression(std::string_view text) {
    TBuildKivoParser compiler;
    compiler.Compile(text);
    return compiler.Build();
}

}  // namespace kivo
