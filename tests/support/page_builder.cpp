#include "page_builder.h"

#include <cctype>
#include <cmath>
#include <sstream>
#include <stdexcept>

namespace kivo::test {

std::array<uint8_t, 10> Ext80Bytes(double value) {
    std::array<uint8_t, 10> out{};
    const bool negative = std::signbit(value);
    uint16_t signExponent = negative ? 0x8000 : 0;
    uint64_t mantissa = 0;
    if (value != 0) {
        // value = fraction * 2^exponent with fraction in [0.5, 1): the 64-bit mantissa with its
        // explicit integer bit is fraction * 2^64, and the value's power of two is exponent - 1.
        int exponent = 0;
        const double fraction = std::frexp(std::fabs(value), &exponent);
        mantissa = static_cast<uint64_t>(std::ldexp(fraction, 64));
        signExponent = static_cast<uint16_t>(signExponent | (exponent - 1 + 16383));
    }
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<uint8_t>(mantissa >> (8 * i));
    out[8] = static_cast<uint8_t>(signExponent);
    out[9] = static_cast<uint8_t>(signExponent >> 8);
    return out;
}

ByteBuilder& ByteBuilder::U8(uint8_t v) {
    bytes_.push_back(v);
    return *this;
}

ByteBuilder& ByteBuilder::I32(int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        bytes_.push_back(static_cast<uint8_t>(u >> (8 * i)));
    return *this;
}

ByteBuilder& ByteBuilder::Str(std::string_view text) {
    I32(static_cast<int32_t>(text.size()));
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return *this;
}

ByteBuilder& ByteBuilder::F80(double v) {
    const auto bytes = Ext80Bytes(v);
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

ByteBuilder& ByteBuilder::Raw(std::span<const uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

Operand Operand::Int(int32_t v) {
    return {ByteBuilder().U8(1).I32(v).Data()};
}
Operand Operand::Float(double v) {
    return {ByteBuilder().U8(2).F80(v).Data()};
}
Operand Operand::Flag(bool v) {
    return {ByteBuilder().U8(3).U8(v ? 1 : 0).Data()};
}
Operand Operand::Str(std::string_view text) {
    return {ByteBuilder().U8(4).Str(text).Data()};
}
Operand Operand::Var(std::string_view name) {
    return Ref(0, name);
}
Operand Operand::Ref(uint8_t kind, std::string_view name) {
    return {ByteBuilder().U8(kind).Str(name).Data()};
}

namespace {

struct Symbol {
    std::string_view text;
    uint8_t opcode;
};

// Two-character symbols first so that "<=" is not read as "<".
constexpr Symbol kSymbols[] = {
    {"==", kOpEqual},  {">=", kOpEBig},     {"<=", kOpESmall}, {"<>", kOpNEqual}, {"<<", kOpShiftL},
    {">>", kOpShiftR}, {"++", kOpComboStr}, {"*", kOpMul},     {"/", kOpDiv},     {"%", kOpMod},
    {"+", kOpPlus},    {"-", kOpMinus},     {">", kOpBig},     {"<", kOpSmall},   {"&", kOpAnd},
    {"^", kOpXor},     {"|", kOpOr},        {"=", kOpTo},
};

// The operand a token stands for, as the editor encodes text operands.
Operand EncodeToken(std::string_view token) {
    if (token.size() >= 2 && token.front() == '"' && token.back() == '"')
        return Operand::Str(token.substr(1, token.size() - 2));
    if (token == "TRUE") return Operand::Flag(true);
    if (token == "FALSE") return Operand::Flag(false);
    const std::string text(token);
    char* end = nullptr;
    const long long integer = std::strtoll(text.c_str(), &end, 10);
    if (!text.empty() && *end == '\0' && integer >= INT32_MIN && integer <= INT32_MAX)
        return Operand::Int(static_cast<int32_t>(integer));
    const double real = std::strtod(text.c_str(), &end);
    if (!text.empty() && *end == '\0') return Operand::Float(real);
    return Operand::Var(token);
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// Splits "a op b" at the first operator outside a string literal (a leading sign belongs to
// the number). Returns false when there is no operator.
bool SplitAtOperator(std::string_view text, std::string_view& left, uint8_t& opcode,
                     std::string_view& right) {
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') inString = !inString;
        if (inString || i == 0) continue;
        for (const Symbol& symbol : kSymbols) {
            if (text.substr(i, symbol.text.size()) != symbol.text) continue;
            left = Trim(text.substr(0, i));
            opcode = symbol.opcode;
            right = Trim(text.substr(i + symbol.text.size()));
            return true;
        }
    }
    return false;
}

}  // namespace

ExprBuilder::ExprBuilder(const char* text) : ExprBuilder(std::string_view(text)) {}

ExprBuilder::ExprBuilder(std::string_view text) {
    Parse(Trim(text));
}

void ExprBuilder::Parse(std::string_view text) {
    if (text.empty()) return;
    std::string_view target = "____arg";
    std::string_view left, right;
    uint8_t opcode = 0;
    // "x = ..." assigns to x; '=' must not be part of "==", "<=", ">=".
    const size_t equals = text.find('=');
    if (equals != std::string_view::npos && equals + 1 < text.size() && text[equals + 1] != '=' &&
        equals > 0 && text[equals - 1] != '<' && text[equals - 1] != '>' &&
        text[equals - 1] != '=' && text.find('"') > equals) {
        target = Trim(text.substr(0, equals));
        text = Trim(text.substr(equals + 1));
    }
    // The compiler first moves each string literal into a temporary of its own, left to
    // right, and only then emits the operator steps.
    int temporaries = 0;
    auto operandFor = [&](std::string_view token) {
        if (token.size() < 2 || token.front() != '"' || token.back() != '"')
            return EncodeToken(token);
        const std::string temporary = "____" + std::to_string(temporaries++);
        Step(kOpTo, temporary, {EncodeToken(token)});
        return Operand::Var(temporary);
    };
    if (!SplitAtOperator(text, left, opcode, right)) {
        Step(kOpTo, target, {operandFor(text)});
        return;
    }
    std::string_view extraLeft, extraRight;
    uint8_t extraOpcode = 0;
    if (right.empty() || SplitAtOperator(right, extraLeft, extraOpcode, extraRight))
        throw std::invalid_argument("ExprBuilder takes one operator at most: " + std::string(text));
    const Operand leftOperand = operandFor(left);
    const Operand rightOperand = operandFor(right);
    const std::string result = "____" + std::to_string(temporaries);
    Step(opcode, result, {leftOperand, rightOperand});
    Step(kOpTo, target, {Operand::Var(result)});
}

ExprBuilder& ExprBuilder::Step(uint8_t opcode, std::string_view target,
                               std::vector<Operand> operands) {
    records_.U8(opcode).Str(target).I32(static_cast<int32_t>(operands.size()));
    for (const Operand& operand : operands)
        records_.Raw(operand.bytes);
    ++steps_;
    return *this;
}

ExprBuilder& ExprBuilder::Func(std::string_view target, uint8_t functionIndex,
                               std::vector<Operand> operands) {
    records_.U8(kOpFunc).Str(target).I32(static_cast<int32_t>(operands.size())).U8(functionIndex);
    for (const Operand& operand : operands)
        records_.Raw(operand.bytes);
    ++steps_;
    return *this;
}

std::vector<uint8_t> ExprBuilder::Bytes() const {
    return ByteBuilder().I32(steps_).Raw(records_.Data()).Data();
}

ExprBuilder Int(int32_t v) {
    return ExprBuilder().Step(kOpTo, "____arg", {Operand::Int(v)});
}
ExprBuilder Float(double v) {
    return ExprBuilder().Step(kOpTo, "____arg", {Operand::Float(v)});
}
ExprBuilder Flag(bool v) {
    return ExprBuilder().Step(kOpTo, "____arg", {Operand::Flag(v)});
}
ExprBuilder Str(std::string_view text) {
    return ExprBuilder().Step(kOpTo, "____arg", {Operand::Str(text)});
}
ExprBuilder Var(std::string_view name) {
    return ExprBuilder().Step(kOpTo, "____arg", {Operand::Var(name)});
}

CommandBuilder& CommandBuilder::Indent(int32_t level) {
    indent_ = level;
    return *this;
}
CommandBuilder& CommandBuilder::Disabled(uint8_t flag) {
    disabled_ = flag;
    return *this;
}
CommandBuilder& CommandBuilder::Continue(uint8_t flag) {
    continue_ = flag;
    return *this;
}
CommandBuilder& CommandBuilder::Line(int32_t line) {
    line_ = line;
    return *this;
}
CommandBuilder& CommandBuilder::Int32(int32_t v) {
    fields_.I32(v);
    return *this;
}
CommandBuilder& CommandBuilder::Byte(uint8_t v) {
    fields_.U8(v);
    return *this;
}
CommandBuilder& CommandBuilder::String(std::string_view text) {
    fields_.Str(text);
    return *this;
}
CommandBuilder& CommandBuilder::Expr(const ExprBuilder& expr) {
    fields_.Raw(expr.Bytes());
    return *this;
}
CommandBuilder& CommandBuilder::Exprs(const std::vector<ExprBuilder>& list) {
    fields_.I32(static_cast<int32_t>(list.size()));
    for (const ExprBuilder& expr : list)
        fields_.Raw(expr.Bytes());
    return *this;
}
CommandBuilder& CommandBuilder::Blob(std::span<const uint8_t> bytes) {
    fields_.I32(static_cast<int32_t>(bytes.size())).Raw(bytes);
    return *this;
}
CommandBuilder& CommandBuilder::Properties(const std::map<int, ExprBuilder>& properties) {
    for (const auto& [id, expr] : properties)
        fields_.Raw(expr.Bytes());
    return *this;
}
CommandBuilder& CommandBuilder::Raw(std::span<const uint8_t> bytes) {
    fields_.Raw(bytes);
    return *this;
}

std::vector<uint8_t> CommandBuilder::Bytes() const {
    return ByteBuilder()
        .U8(type_)
        .I32(indent_)
        .U8(disabled_)
        .U8(continue_)
        .I32(line_)
        .Raw(fields_.Data())
        .Data();
}

CommandBuilder If(const ExprBuilder& condition) {
    return CommandBuilder(kIfCode).Expr(condition);
}
CommandBuilder Elseif(const ExprBuilder& condition) {
    return CommandBuilder(kElseifCode).Expr(condition);
}
CommandBuilder Else() {
    return CommandBuilder(kElseCode);
}
CommandBuilder Label(std::string_view name) {
    return CommandBuilder(kLabelCode).String(name);
}
CommandBuilder Jump(std::string_view page, int32_t target, const ExprBuilder& condition) {
    return CommandBuilder(kJumpCode).String(page).Int32(target).Expr(condition);
}
CommandBuilder Call(std::string_view page, int32_t target, std::string_view resultVariable,
                    const ExprBuilder& condition, const std::vector<ExprBuilder>& arguments) {
    return CommandBuilder(kCallCode)
        .String(page)
        .Int32(target)
        .String(resultVariable)
        .Expr(condition)
        .Exprs(arguments);
}
CommandBuilder Exit(const ExprBuilder& condition) {
    return CommandBuilder(kExitCode).Expr(condition);
}
CommandBuilder Wait(const ExprBuilder& condition, const ExprBuilder& time,
                    const ExprBuilder& eventsBlocked) {
    return CommandBuilder(kWaitCode).Expr(condition).Expr(time).Expr(eventsBlocked);
}
CommandBuilder Calc(const ExprBuilder& expression) {
    return CommandBuilder(kCalcCode).Expr(expression);
}
CommandBuilder VarNew(std::string_view name, uint8_t type, const ExprBuilder& value,
                      uint8_t scope) {
    return CommandBuilder(kVarNewCode).String(name).Byte(type).Expr(value).Byte(scope);
}
CommandBuilder VarDel(std::string_view name) {
    return CommandBuilder(kVarDelCode).String(name);
}
CommandBuilder Comment(std::string_view text) {
    return CommandBuilder(kCommentCode).String(text);
}
CommandBuilder While(const ExprBuilder& condition, int32_t exitIndex) {
    return CommandBuilder(kWhileCode).Expr(condition).Int32(exitIndex);
}
CommandBuilder WhileInit(const ExprBuilder& expression) {
    return CommandBuilder(kWhileInitCode).Expr(expression);
}
CommandBuilder WhileLoop(const ExprBuilder& expression, int32_t loopIndex) {
    return CommandBuilder(kWhileLoopCode).Expr(expression).Int32(loopIndex);
}
CommandBuilder Break(const ExprBuilder& condition, int32_t target) {
    return CommandBuilder(kBreakCode).Expr(condition).Int32(target);
}
CommandBuilder ContinueLoop(const ExprBuilder& condition, int32_t target) {
    return CommandBuilder(kContinueCode).Expr(condition).Int32(target);
}
CommandBuilder PCReset(std::string_view page, int32_t index, uint8_t full) {
    return CommandBuilder(kPCResetCode).String(page).Int32(index).Byte(full);
}
CommandBuilder Terminate() {
    return CommandBuilder(kTerminateCode);
}
CommandBuilder DoEvent() {
    return CommandBuilder(kDoEventCode);
}

PageBuilder& PageBuilder::Version(int32_t version) {
    version_ = version;
    return *this;
}
PageBuilder& PageBuilder::ResultType(uint8_t type) {
    resultType_ = type;
    return *this;
}
PageBuilder& PageBuilder::Mask(int typeCode, std::initializer_list<int> ids) {
    for (int id : ids)
        masks_.at(static_cast<size_t>(typeCode * 21 + id / 8)) |=
            static_cast<uint8_t>(1u << (id % 8));
    return *this;
}
PageBuilder& PageBuilder::RawMasks(int32_t count, int32_t size, std::vector<uint8_t> bytes) {
    maskCount_ = count;
    maskSize_ = size;
    masks_ = std::move(bytes);
    return *this;
}
PageBuilder& PageBuilder::Add(const CommandBuilder& command) {
    commands_.push_back(command.Bytes());
    return *this;
}
PageBuilder& PageBuilder::CommandCount(int32_t count) {
    countOverride_ = count;
    return *this;
}
PageBuilder& PageBuilder::Trailer(std::span<const uint8_t> bytes) {
    trailer_.assign(bytes.begin(), bytes.end());
    return *this;
}

std::vector<uint8_t> PageBuilder::Bytes() const {
    ByteBuilder out;
    out.I32(version_).U8(resultType_).I32(maskCount_).I32(maskSize_).Raw(masks_);
    out.I32(countOverride_.value_or(Size()));
    for (const auto& command : commands_)
        out.Raw(command);
    out.Raw(trailer_);
    return out.Data();
}

namespace {

constexpr int kPrName = 0;
constexpr int kPrLeft = 3;

// The record layouts written out again independently of the reader's table: one token per
// field (E expr, S string, I int32, B byte, L expr list, X byte blob, P component properties),
// with ">N" when only pages of a version above N store the field.
constexpr const char* kRecordFields[kCommandCodeCount] = {"E",
                                                          "E",
                                                          "",
                                                          "S",
                                                          "S I E",
                                                          "S I S E L",
                                                          "E",
                                                          "E E E>106",  // 0-7
                                                          "P",
                                                          "P",
                                                          "P",
                                                          "P",
                                                          "P",
                                                          "E E E E L E E E E>100 E>106",
                                                          "E",
                                                          "S B E B",  // 8-15
                                                          "S",
                                                          "E E S",
                                                          "E E E",
                                                          "E",
                                                          "X E E E E>106",
                                                          "E E E E>106",
                                                          "",
                                                          "P",  // 16-23
                                                          "P",
                                                          "P",
                                                          "E",
                                                          "S",
                                                          "E",
                                                          "E E E E",
                                                          "P",
                                                          "E I",  // 24-31
                                                          "E",
                                                          "E I",
                                                          "E I",
                                                          "E I",
                                                          "P",
                                                          "P",
                                                          "E S I>104 E",
                                                          "E",  // 32-39
                                                          "S I B",
                                                          "S I B",
                                                          "P",
                                                          "P",
                                                          "P",
                                                          "",
                                                          "",
                                                          "",  // 40-47
                                                          "P",
                                                          "P",
                                                          "P",
                                                          "P",
                                                          "P",
                                                          "P",
                                                          "P",
                                                          "E",  // 48-55
                                                          "P",
                                                          "E E E E E E E>107",
                                                          "E",
                                                          "P E L",
                                                          "P E L"};  // 56-60

}  // namespace

CommandBuilder BuildRecord(int code, int32_t version, int seed) {
    CommandBuilder command(code);
    command.Indent(seed % 3).Line(seed).Continue(static_cast<uint8_t>(seed % 2));
    std::istringstream tokens(kRecordFields[code]);
    std::string token;
    int field = 0;
    while (tokens >> token) {
        ++field;
        const size_t gate = token.find('>');
        if (gate != std::string::npos && version <= std::stoi(token.substr(gate + 1))) continue;
        const std::string name = "v" + std::to_string(seed) + "_" + std::to_string(field);
        switch (token[0]) {
            case 'E':
                command.Expr(ExprBuilder(name + " + " + std::to_string(field)));
                break;
            case 'S':
                command.String(name);
                break;
            case 'I':
                command.Int32(seed * 100 + field);
                break;
            case 'B':
                command.Byte(static_cast<uint8_t>(field + 1));
                break;
            case 'L':
                command.Exprs({Str(name), Float(0.5 * field), Flag(true)});
                break;
            case 'X':
                command.Blob(std::vector<uint8_t>{0x82, 0xA0, 0x5C, 0x00, 0xFF});
                break;
            case 'P':  // the masks below give every component type PR_NAME and PR_LEFT
                command.Properties({{kPrName, Str(name)}, {kPrLeft, Int(field)}});
                break;
            default:
                throw std::invalid_argument("bad field token " + token);
        }
    }
    return command;
}

PageBuilder EveryCommandPage(int32_t version) {
    PageBuilder page;
    page.Version(version).ResultType(4);  // a string result
    for (int code = 0; code < kCommandCodeCount; ++code) {
        if (std::string(kRecordFields[code]).find('P') != std::string::npos)
            page.Mask(code, {kPrName, kPrLeft});
        page.Add(BuildRecord(code, version, code + 1));
    }
    return page;
}

}  // namespace kivo::test
