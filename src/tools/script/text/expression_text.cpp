#include "tools/script/text/expression_text.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "base/error.h"
#include "base/sjis.h"
#include "script/expression_compiler.h"
#include "script/vocabulary.h"

namespace kivo::script_text {

namespace {

constexpr std::string_view kTempPrefix = "____";
constexpr std::string_view kResultName = "____arg";

bool IsTemporary(std::string_view name) {
    return name.starts_with(kTempPrefix) && name != kResultName;
}

// One decompiled operand: its text and the binding group of its outermost operator (0 for an
// operand that needs no brackets anywhere).
struct Node {
    std::string text;
    int group = 0;
};

// The shortest decimal text that reads back as exactly these ten bytes, always with a point
// so that it is never taken for an integer; nullopt when the value has no such plain form
// (infinities, NaNs, bit patterns no writer makes).
std::optional<std::string> PlainFloat(const Ext80& value) {
    const Extended extended = value.ToExtended();
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, extended);
    if (error != std::errc()) return std::nullopt;
    std::string text(buffer, end);
    if (text.find_first_of("ni") != std::string::npos) return std::nullopt;  // inf, nan
    Extended back = 0;
    auto read = std::from_chars(text.data(), text.data() + text.size(), back);
    if (read.ec != std::errc() || !(Ext80::FromExtended(back) == value)) return std::nullopt;
    if (text.find_first_of(".e") == std::string::npos) text += ".0";
    return text;
}

// A string literal as the compiler reads it: \" for a quote, \\ for a backslash, \n for CR LF.
std::optional<std::string> InfixLiteral(std::string_view value) {
    std::string out = "\"";
    for (size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') {
            out += "\\n";
            ++i;
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<uint8_t>(c) < 0x20) {
            return std::nullopt;
        } else {
            out += c;
        }
    }
    return out + '"';
}

class Decompiler {
  public:
    std::optional<std::string> Run(const std::vector<TOpeData>& steps) {
        for (size_t i = 0; i < steps.size(); ++i) {
            const TOpeData& step = steps[i];
            bool last = i + 1 == steps.size();
            // The last step may also assign an array element: "a[i] = v".
            bool elementAssignment =
                last && step.Is(OpCode::ocTo) && step.target.starts_with("____d_");
            if (IsTemporary(step.target) && !elementAssignment) {
                std::optional<Node> node = StepValue(step);
                if (!node || temps_.contains(step.target)) return std::nullopt;
                temps_[step.target] = std::move(*node);
                continue;
            }
            // Only the last step may write a variable that outlives the evaluation.
            if (!last || !step.Is(OpCode::ocTo) || step.operands.size() != 1) return std::nullopt;
            std::optional<Node> value = Operand(step.operands[0]);
            if (!value) return std::nullopt;
            if (step.target == kResultName) return value->text;
            std::optional<Node> target = Variable(step.target);
            if (!target) return std::nullopt;
            return target->text + " = " + value->text;
        }
        return std::nullopt;
    }

  private:
    std::optional<Node> StepValue(const TOpeData& step) {
        const OperatorInfo* info = FindOperator(step.opcode);
        if (info == nullptr) return std::nullopt;
        if (step.Is(OpCode::ocTo)) {
            if (step.operands.size() != 1) return std::nullopt;
            // An element reference assigned a value is the statement "a[i] = v"; it is the
            // last step and is handled there, never a value of its own.
            if (step.target.starts_with("____d_")) return std::nullopt;
            std::optional<Node> value = Operand(step.operands[0]);
            if (!value) return std::nullopt;
            // String literals become temporaries of their own, and so do array elements given
            // as function arguments; anything else only through brackets around an operand.
            const TOperand& source = step.operands[0];
            if (source.Kind() == OperandKind::String ||
                (source.IsReference() && source.text.starts_with("____d_"))) {
                return value;
            }
            return Node{"(" + value->text + ")", 0};
        }
        if (step.Is(OpCode::ocFunc) || step.Is(OpCode::ocDimTo)) {
            std::string head;
            size_t first = 0;
            if (step.Is(OpCode::ocFunc)) {
                head = std::string(Functions()[step.functionIndex].name) + "(";
            } else {
                if (step.operands.empty() || !step.operands[0].IsReference()) return std::nullopt;
                std::optional<Node> name = Variable(step.operands[0].text);
                if (!name) return std::nullopt;
                head = name->text + "[";
                first = 1;
            }
            for (size_t k = first; k < step.operands.size(); ++k) {
                std::optional<Node> argument = Operand(step.operands[k]);
                if (!argument) return std::nullopt;
                head += (k > first ? ", " : "") + argument->text;
            }
            return Node{head + (step.Is(OpCode::ocFunc) ? ")" : "]"), 0};
        }
        if (info->symbol.empty() || info->precedence == 0 || step.operands.size() != 2) {
            return std::nullopt;
        }
        std::optional<Node> left = Operand(step.operands[0]);
        std::optional<Node> right = Operand(step.operands[1]);
        if (!left || !right) return std::nullopt;
        int group = info->precedence;
        // Within a group the leftmost operator binds first, so only the right side of an
        // operator of the same group needs brackets.
        std::string text = left->group > group ? "(" + left->text + ")" : left->text;
        text += " ";
        text += info->symbol;
        text += " ";
        text += right->group >= group ? "(" + right->text + ")" : right->text;
        return Node{std::move(text), group};
    }

    std::optional<Node> Operand(const TOperand& operand) {
        switch (operand.Kind()) {
            case OperandKind::Integer:
                return Node{std::to_string(operand.intValue), 0};
            case OperandKind::Float: {
                std::optional<std::string> text = PlainFloat(operand.floatValue);
                if (!text || text->find('e') != std::string::npos) return std::nullopt;
                return Node{std::move(*text), 0};
            }
            case OperandKind::Flag:
                if (operand.flagByte > 1) return std::nullopt;
                return Node{operand.flagByte != 0 ? "TRUE" : "FALSE", 0};
            case OperandKind::String: {
                std::optional<std::string> text = InfixLiteral(operand.text);
                if (!text) return std::nullopt;
                return Node{std::move(*text), 0};
            }
            case OperandKind::Reference:
                if (operand.kindByte != 0) return std::nullopt;
                return Variable(operand.text);
        }
        return std::nullopt;
    }

    // A variable named in the text: element references by their decompiled text.
    std::optional<Node> Variable(const std::string& name) {
        if (IsTemporary(name)) {
            auto found = temps_.find(name);
            if (found == temps_.end()) return std::nullopt;
            Node node = std::move(found->second);
            temps_.erase(found);
            return node;
        }
        if (!IsBareWord(name) || name == "TRUE" || name == "FALSE" || name == kResultName) {
            return std::nullopt;
        }
        return Node{name, 0};
    }

    std::map<std::string, Node> temps_;
};

// ---- The explicit list of steps ----------------------------------------------------------------

}  // namespace

std::string WriteOperand(const TOperand& operand) {
    switch (operand.Kind()) {
        case OperandKind::Integer:
            return std::to_string(operand.intValue);
        case OperandKind::Float: {
            if (std::optional<std::string> text = PlainFloat(operand.floatValue)) return *text;
            return "$x80:" + HexText(operand.floatValue.bytes);
        }
        case OperandKind::Flag:
            if (operand.flagByte > 1) return "$flag:" + std::to_string(operand.flagByte);
            return operand.flagByte != 0 ? "TRUE" : "FALSE";
        case OperandKind::String:
            return QuoteCp932(operand.text);
        case OperandKind::Reference:
            if (operand.kindByte == 0 && NameText(operand.text)[0] != '"') {
                return NameText(operand.text);
            }
            return (operand.kindByte == 0 ? "$ref" : "$ref" + std::to_string(operand.kindByte)) +
                   " " + QuoteCp932(operand.text);
    }
    return {};
}

namespace {

std::string OpcodeName(const TOpeData& step) {
    const OperatorInfo* info = FindOperator(step.opcode);
    if (info == nullptr) return "op:" + std::to_string(step.opcode);
    if (step.Is(OpCode::ocFunc)) {
        return std::string(info->name) + ":" + std::string(Functions()[step.functionIndex].name);
    }
    return std::string(info->name);
}

}  // namespace

TOperand ReadOperand(LineScanner& scanner) {
    scanner.SkipSpaces();
    size_t start = scanner.Offset();
    char c = scanner.Peek();
    if (c == '"') return TOperand::String(scanner.ReadQuoted());
    std::string word = scanner.ReadWord("an operand");
    if (word == "TRUE" || word == "FALSE") return TOperand::Flag(word == "TRUE");
    if ((word[0] >= '0' && word[0] <= '9') || word[0] == '-') {
        if (word.find_first_of(".eE") != std::string::npos && word.find('x') == std::string::npos) {
            // Read in extended precision, as the editor's compiler reads a literal.
            Extended value = 0;
            auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
            if (error != std::errc() || end != word.data() + word.size()) {
                scanner.FailAtOffset(start, "bad number \"" + word + "\"");
            }
            TOperand operand;
            operand.kindByte = static_cast<uint8_t>(OperandKind::Float);
            operand.floatValue = Ext80::FromExtended(value);
            return operand;
        }
        scanner.Seek(start);
        return TOperand::Integer(scanner.ReadInt("an integer"));
    }
    if (word.starts_with("$x80:")) {
        TOperand operand;
        operand.kindByte = static_cast<uint8_t>(OperandKind::Float);
        std::optional<std::vector<uint8_t>> bytes = ParseHex(std::string_view(word).substr(5));
        if (!bytes || bytes->size() != operand.floatValue.bytes.size()) {
            scanner.FailAtOffset(start, "a raw float needs 20 hex digits");
        }
        std::copy(bytes->begin(), bytes->end(), operand.floatValue.bytes.begin());
        return operand;
    }
    if (word.starts_with("$flag:")) {
        TOperand operand = TOperand::Flag(false);
        scanner.Seek(start + 6);
        int32_t value = scanner.ReadInt("a flag byte");
        if (value < 0 || value > 255) scanner.FailAtOffset(start, "a flag byte is 0 to 255");
        operand.flagByte = static_cast<uint8_t>(value);
        return operand;
    }
    if (word.starts_with("$ref")) {
        TOperand operand = TOperand::Reference(std::string());
        if (word.size() > 4) {
            scanner.Seek(start + 4);
            int32_t kind = scanner.ReadInt("a reference kind");
            if (kind == 1 || kind == 2 || kind == 3 || kind == 4 || kind < 0 || kind > 255) {
                scanner.FailAtOffset(start, "a reference kind is 0 or 5 to 255");
            }
            operand.kindByte = static_cast<uint8_t>(kind);
        }
        operand.text = scanner.ReadQuoted();
        return operand;
    }
    if (word[0] == '$') scanner.FailAtOffset(start, "unknown operand \"" + word + "\"");
    scanner.Seek(start);
    return TOperand::Reference(scanner.ReadName("a variable name"));
}

namespace {

TOpeData ReadStep(LineScanner& scanner) {
    scanner.SkipSpaces();
    size_t start = scanner.Offset();
    std::string name = scanner.ReadWord("an operation");
    TOpeData step;
    std::string_view opName = name;
    std::string_view functionName;
    if (size_t colon = opName.find(':'); colon != std::string_view::npos) {
        functionName = opName.substr(colon + 1);
        opName = opName.substr(0, colon);
    }
    if (opName == "op") {
        scanner.Seek(start + 3);
        int32_t code = scanner.ReadInt("an opcode");
        if (code < 0 || code > 255) scanner.FailAtOffset(start, "an opcode is 0 to 255");
        step.opcode = static_cast<uint8_t>(code);
    } else {
        bool found = false;
        for (size_t code = 0; code < Operators().size(); ++code) {
            if (Operators()[code].name == opName) {
                step.opcode = static_cast<uint8_t>(code);
                found = true;
            }
        }
        if (!found) scanner.FailAtOffset(start, "unknown operation \"" + name + "\"");
        if (step.Is(OpCode::ocFunc)) {
            std::optional<int> index = FunctionIndex(functionName);
            if (!index) {
                scanner.FailAtOffset(start,
                                     "unknown function \"" + std::string(functionName) + "\"");
            }
            step.functionIndex = static_cast<uint8_t>(*index);
        } else if (!functionName.empty()) {
            scanner.FailAtOffset(start, "only ocFunc names a function");
        }
    }
    step.target = scanner.ReadName("a target variable");
    scanner.Expect('=');
    scanner.SkipSpaces();
    if (scanner.Peek() == ';' || scanner.Peek() == ']') return step;
    do {
        step.operands.push_back(ReadOperand(scanner));
    } while (scanner.Accept(','));
    return step;
}

std::vector<TOpeData> CompileInfix(LineScanner& scanner, size_t offset, std::string_view utf8) {
    std::optional<std::string> cp932 = sjis::FromUtf8(utf8);
    if (!cp932) scanner.FailAtOffset(offset, "expression text cannot be written in code page 932");
    try {
        return CompileExpression(*cp932).Steps();
    } catch (const KivoError& error) {
        scanner.FailAtOffset(offset, "expression does not compile: " + error.Message());
    }
}

}  // namespace

std::optional<std::string> DecompileExpression(const std::vector<TOpeData>& steps) {
    return Decompiler().Run(steps);
}

std::string WriteStepList(const std::vector<TOpeData>& steps) {
    std::string out = "[";
    for (size_t i = 0; i < steps.size(); ++i) {
        const TOpeData& step = steps[i];
        if (i > 0) out += "; ";
        out += OpcodeName(step) + " " + NameText(step.target) + " =";
        for (size_t k = 0; k < step.operands.size(); ++k) {
            out += k > 0 ? ", " : " ";
            out += WriteOperand(step.operands[k]);
        }
    }
    return out + "]";
}

std::string WriteExpression(const TKivoParser& expr) {
    if (expr.Empty()) return "{}";
    if (std::optional<std::string> infix = DecompileExpression(expr.Steps())) {
        std::optional<std::string> utf8 = ExactUtf8(*infix);
        if (utf8 && !utf8->empty()) {
            try {
                if (CompileExpression(*infix).Steps() == expr.Steps()) {
                    // The braces must enclose exactly this text when it is read again.
                    std::string braced = "{" + *utf8 + "}";
                    LineScanner check("", 0, braced);
                    if (check.ReadBraced() == *utf8) return braced;
                }
            } catch (const std::exception&) {
                // Text the compiler rejects is written as the list of steps.
            }
        }
    }
    return WriteStepList(expr.Steps());
}

TKivoParser ReadExpression(LineScanner& scanner) {
    scanner.SkipSpaces();
    size_t start = scanner.Offset();
    if (scanner.Peek() == '{') {
        std::string_view text = scanner.ReadBraced();
        if (text.find_first_not_of(" \t") == std::string_view::npos) return TKivoParser();
        return TKivoParser(CompileInfix(scanner, start + 1, text));
    }
    if (scanner.Peek() != '[') scanner.Fail("expected an expression in {} or []");
    scanner.Expect('[');
    std::vector<TOpeData> steps;
    if (!scanner.Accept(']')) {
        do {
            steps.push_back(ReadStep(scanner));
        } while (scanner.Accept(';'));
        scanner.Expect(']');
    }
    return TKivoParser(std::move(steps));
}

}  // namespace kivo::script_text
