#include "script/expression.h"

#include <cmath>
#include <string>

#include "base/error.h"
#include "script/function_registry.h"
#include "script/param.h"
#include "script/param_collection.h"
#include "script/vocabulary.h"

namespace kivo {

namespace {

// The smallest stored step: opcode byte, empty target count, operand count.
constexpr size_t kMinStepBytes = 1 + 4 + 4;
// The smallest stored operand: kind byte and a one-byte flag.
constexpr size_t kMinOperandBytes = 1 + 1;

TOperand ReadOperand(ByteReader& reader) {
    TOperand operand;
    operand.kindByte = reader.ReadU8();
    switch (operand.Kind()) {
        case OperandKind::Integer:
            operand.intValue = reader.ReadI32();
            break;
        case OperandKind::Float:
            operand.floatValue = reader.ReadExt80();
            break;
        case OperandKind::Flag:
            operand.flagByte = reader.ReadU8();
            break;
        case OperandKind::String:
        case OperandKind::Reference:
            operand.text = reader.ReadCountedString();
            break;
    }
    return operand;
}

void WriteOperand(ByteWriter& writer, const TOperand& operand) {
    writer.WriteU8(operand.kindByte);
    switch (operand.Kind()) {
        case OperandKind::Integer:
            writer.WriteI32(operand.intValue);
            break;
        case OperandKind::Float:
            writer.WriteExt80(operand.floatValue);
            break;
        case OperandKind::Flag:
            writer.WriteU8(operand.flagByte);
            break;
        case OperandKind::String:
        case OperandKind::Reference:
            writer.WriteCountedString(operand.text);
            break;
    }
}

}  // namespace

TOperand TOperand::Integer(int32_t value) {
    TOperand operand;
    operand.kindByte = static_cast<uint8_t>(OperandKind::Integer);
    operand.intValue = value;
    return operand;
}

TOperand TOperand::Float(Extended value) {
    TOperand operand;
    operand.kindByte = static_cast<uint8_t>(OperandKind::Float);
    operand.floatValue = Ext80::FromExtended(value);
    return operand;
}

TOperand TOperand::Flag(bool value) {
    TOperand operand;
    operand.kindByte = static_cast<uint8_t>(OperandKind::Flag);
    operand.flagByte = value ? 1 : 0;
    return operand;
}

TOperand TOperand::String(std::string value) {
    TOperand operand;
    operand.kindByte = static_cast<uint8_t>(OperandKind::String);
    operand.text = std::move(value);
    return operand;
}

TOperand TOperand::Reference(std::string name) {
    TOperand operand;
    operand.kindByte = static_cast<uint8_t>(OperandKind::Reference);
    operand.text = std::move(name);
    return operand;
}

void TKivoParser::Load(ByteReader& reader) {
    std::vector<TOpeData> steps;
    uint32_t stepCount = reader.ReadCount(kMinStepBytes);
    steps.reserve(stepCount);
    for (uint32_t i = 0; i < stepCount; ++i) {
        TOpeData step;
        step.opcode = reader.ReadU8();
        step.target = reader.ReadCountedString();
        uint32_t operandCount = reader.ReadCount(kMinOperandBytes);
        if (step.Is(OpCode::ocFunc)) {
            step.functionIndex = reader.ReadU8();
            if (step.functionIndex > kLastFunctionIndex) {
                reader.Fail("function index " + std::to_string(step.functionIndex) +
                            " out of range");
            }
        }
        step.operands.reserve(operandCount);
        for (uint32_t k = 0; k < operandCount; ++k)
            step.operands.push_back(ReadOperand(reader));
        steps.push_back(std::move(step));
    }
    steps_ = std::move(steps);
}

void TKivoParser::Save(ByteWriter& writer) const {
    writer.WriteI32(static_cast<int32_t>(steps_.size()));
    for (const TOpeData& step : steps_) {
        writer.WriteU8(step.opcode);
        writer.WriteCountedString(step.target);
        writer.WriteI32(static_cast<int32_t>(step.operands.size()));
        if (step.Is(OpCode::ocFunc)) writer.WriteU8(step.functionIndex);
        for (const TOperand& operand : step.operands)
            WriteOperand(writer, operand);
    }
}

// ---- Evaluation -----------------------------------------------------------------------------

namespace {

constexpr std::string_view kTempPrefix = "____";
constexpr std::string_view kResultName = "____arg";

bool IsTempName(std::string_view name) {
    return name.starts_with(kTempPrefix);
}

[[noreturn]] void ThrowDivisionByZero() {
    throw KivoError("0で除算しました");
}

Extended CheckedFloat(Extended value) {
    if (!std::isfinite(value)) throw KivoError("浮動小数点演算のオーバーフローです");
    return value;
}

// Integer arithmetic wraps at 32 bits, as the machine the games were made for did.
int32_t Wrap(uint32_t value) {
    return static_cast<int32_t>(value);
}

// One operand of a step as the step sees it: a constant of the record, or the value of the
// variable a reference names. Variables are read through their plain readings, so a
// reference variable reads the element it is bound to.
class Operand {
  public:
    Operand(const TOperand& stored, TParamCollectionItem* variable)
        : stored_(stored), variable_(variable) {}

    [[nodiscard]] TParamCollectionItem* Variable() const { return variable_; }

    [[nodiscard]] ValueType Type() const {
        switch (stored_.Kind()) {
            case OperandKind::Integer:
                return PT_INT;
            case OperandKind::Float:
                return PT_FLOAT;
            case OperandKind::Flag:
                return PT_BOOL;
            case OperandKind::String:
                return PT_STR;
            case OperandKind::Reference:
                break;
        }
        return variable_->Value().Type();
    }

    [[nodiscard]] int32_t Int() const {
        switch (stored_.Kind()) {
            case OperandKind::Integer:
                return stored_.intValue;
            case OperandKind::Float:
                return FloatToInt(stored_.floatValue.ToExtended());
            case OperandKind::Flag:
                return stored_.flagByte != 0 ? 1 : 0;
            case OperandKind::String:
                return StringToInt(stored_.text);
            case OperandKind::Reference:
                break;
        }
        return variable_->Value().AsInteger();
    }

    [[nodiscard]] Extended Float() const {
        switch (stored_.Kind()) {
            case OperandKind::Integer:
                return stored_.intValue;
            case OperandKind::Float:
                return stored_.floatValue.ToExtended();
            case OperandKind::Flag:
                return stored_.flagByte != 0 ? 1.0 : 0.0;
            case OperandKind::String:
                return StringToFloat(stored_.text);
            case OperandKind::Reference:
                break;
        }
        return variable_->Value().AsFloat();
    }

    [[nodiscard]] bool Flag() const {
        switch (stored_.Kind()) {
            case OperandKind::Integer:
                return stored_.intValue != 0;
            case OperandKind::Float:
                return stored_.floatValue.ToExtended() != 0.0;
            case OperandKind::Flag:
                return stored_.flagByte != 0;
            case OperandKind::String:
                return StringToFlag(stored_.text);
            case OperandKind::Reference:
                break;
        }
        return variable_->Value().AsFlag();
    }

    [[nodiscard]] std::string String() const {
        switch (stored_.Kind()) {
            case OperandKind::Integer:
                return IntToString(stored_.intValue);
            case OperandKind::Float:
                return FloatToString(stored_.floatValue.ToExtended());
            case OperandKind::Flag:
                return std::string(FlagToString(stored_.flagByte != 0));
            case OperandKind::String:
                return stored_.text;
            case OperandKind::Reference:
                break;
        }
        return variable_->Value().AsString();
    }

    // A value handed to a system function: a reference bound to the variable, or a constant.
    [[nodiscard]] std::unique_ptr<TCustomParam> AsArgument() const {
        if (variable_) {
            auto reference = std::make_unique<TParamVar>(variable_->Name());
            reference->Bind(*variable_, 0);
            return reference;
        }
        std::unique_ptr<TCustomParam> value = CreateParam(Type());
        switch (stored_.Kind()) {
            case OperandKind::Integer:
                value->SetInteger(stored_.intValue);
                break;
            case OperandKind::Float:
                value->SetFloat(stored_.floatValue.ToExtended());
                break;
            case OperandKind::Flag:
                value->SetFlag(stored_.flagByte != 0);
                break;
            case OperandKind::String:
                value->SetString(stored_.text);
                break;
            case OperandKind::Reference:
                break;
        }
        return value;
    }

  private:
    const TOperand& stored_;
    TParamCollectionItem* variable_;
};

// Orders two values by op0's type: strings byte-wise (shorter first on a common prefix),
// floats, flags (false before true), everything else as integers. Returns <0, 0 or >0.
int Compare(const Operand& a, const Operand& b) {
    auto sign = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    switch (a.Type()) {
        case PT_STR: {
            int c = a.String().compare(b.String());
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
        case PT_FLOAT:
            return sign(a.Float(), b.Float());
        case PT_BOOL:
            return sign(a.Flag(), b.Flag());
        case PT_INT:
        case PT_NONE:
            break;
    }
    return sign(a.Int(), b.Int());
}

// One run of an expression. The temporaries live here, not in the variable table: a nested
// evaluation (Calc, text variables) has its own, and a user variable whose name happens to
// start with "____" is never written by a step.
class Evaluation {
  public:
    Evaluation(TParamCollection& variables, const SystemFunctionRegistry& functions,
               const ScriptContext* context)
        : variables_(variables), functions_(functions), context_(context) {}

    ExpressionResult Run(const std::vector<TOpeData>& steps) {
        temps_.reserve(steps.size());
        for (const TOpeData& step : steps)
            RunStep(step);
        if (steps.empty() || !steps.back().Is(OpCode::ocTo) || steps.back().target != kResultName) {
            return nullptr;
        }
        TParamCollectionItem* result = FindTemp(kResultName);
        if (!result) return nullptr;
        ValueType type = result->Value().Type();
        if (type < PT_INT || type > PT_STR)
            throw KivoError(std::string(kResultName) + ":不正な変数です");
        return result->Value().Clone();
    }

  private:
    TParamCollectionItem* FindTemp(std::string_view name) const {
        for (const auto& temp : temps_) {
            if (temp->Name() == name) return temp.get();
        }
        return nullptr;
    }

    TParamCollectionItem& Resolve(const std::string& name) const {
        if (IsTempName(name)) {
            if (TParamCollectionItem* temp = FindTemp(name)) return *temp;
        }
        if (TParamCollectionItem* variable = variables_.Find(name)) return *variable;
        throw KivoError("\"" + name + "\" 変数がありません");
    }

    [[noreturn]] static void ThrowBadStep(const TOpeData& step, std::span<const Operand> ops) {
        const OperatorInfo* info = FindOperator(step.opcode);
        std::string text = "不正な式\r\n\r\n代入先:" + step.target + "\r\n演算タイプ:";
        text += info ? std::string(info->name) : std::to_string(step.opcode);
        for (const Operand& op : ops)
            text += "\r\n" + op.String();
        throw KivoError(text);
    }

    static const Operand& Op(const TOpeData& step, std::span<const Operand> ops, size_t i) {
        if (i >= ops.size()) ThrowBadStep(step, ops);
        return ops[i];
    }

    // The type of a new temporary receiving this step's result.
    static ValueType ResultType(const TOpeData& step, std::span<const Operand> ops) {
        auto op = [&](size_t i) { return Op(step, ops, i).Type(); };
        switch (static_cast<OpCode>(step.opcode)) {
            case OpCode::ocTo:
                return op(0);
            case OpCode::ocPlus:
                if (op(0) == PT_STR) return PT_STR;
                return op(0) == PT_FLOAT || op(1) == PT_FLOAT ? PT_FLOAT : PT_INT;
            case OpCode::ocMinus:
            case OpCode::ocMul:
            case OpCode::ocDiv:
                return op(0) == PT_FLOAT || op(1) == PT_FLOAT ? PT_FLOAT : PT_INT;
            case OpCode::ocDimTo:
                return PT_NONE;
            case OpCode::ocFunc: {
                if (step.functionIndex == kFunctionGetProp) {
                    const PropertyInfo* property = FindProperty(Op(step, ops, 1).Int());
                    if (!property) throw KivoError("GetPropの引数が違います");
                    return property->type;
                }
                const FunctionInfo* function = FindFunction(step.functionIndex);
                if (!function) ThrowBadStep(step, ops);
                return function->result;
            }
            case OpCode::ocEqual:
            case OpCode::ocBig:
            case OpCode::ocSmall:
            case OpCode::ocEBig:
            case OpCode::ocESmall:
            case OpCode::ocNEqual:
                return PT_BOOL;
            case OpCode::ocComboStr:
                return PT_STR;
            case OpCode::ocMod:
            case OpCode::ocOr:
            case OpCode::ocAnd:
            case OpCode::ocXor:
            case OpCode::ocShiftL:
            case OpCode::ocShiftR:
                return PT_INT;
            case OpCode::ocNone:
                break;
        }
        ThrowBadStep(step, ops);
    }

    // Binds an array element: a reference to the variable of op0 at the element its indices
    // address.
    static std::unique_ptr<TCustomParam> BindElement(const TOpeData& step,
                                                     std::span<const Operand> ops) {
        TParamCollectionItem* array = Op(step, ops, 0).Variable();
        if (!array) ThrowBadStep(step, ops);
        std::vector<int32_t> indices;
        for (size_t i = 1; i < ops.size(); ++i)
            indices.push_back(ops[i].Int());
        int32_t flat = array->Value().FlatIndex(array->Name(), indices);
        auto reference = std::make_unique<TParamVar>(array->Name());
        reference->Bind(*array, flat);
        return reference;
    }

    void RunStep(const TOpeData& step) {
        // One operand buffer serves every step of the run.
        std::vector<Operand>& ops = operands_;
        ops.clear();
        for (const TOperand& stored : step.operands) {
            ops.emplace_back(stored, stored.IsReference() ? &Resolve(stored.text) : nullptr);
        }

        TParamCollectionItem* target = nullptr;
        if (IsTempName(step.target)) {
            target = FindTemp(step.target);
            if (!target) {
                std::unique_ptr<TCustomParam> value = step.Is(OpCode::ocDimTo)
                                                          ? BindElement(step, ops)
                                                          : CreateParam(ResultType(step, ops));
                auto temp = std::make_unique<TParamCollectionItem>(std::move(value));
                temp->SetName(step.target);
                temps_.push_back(std::move(temp));
                target = temps_.back().get();
            }
        } else {
            target = variables_.Find(step.target);
            if (!target) throw KivoError("\"" + step.target + "\" 変数がありません");
        }
        Perform(step, ops, target->Value());
    }

    void Perform(const TOpeData& step, std::span<const Operand> ops, TCustomParam& target) const {
        auto a = [&]() -> const Operand& { return Op(step, ops, 0); };
        auto b = [&]() -> const Operand& { return Op(step, ops, 1); };
        switch (static_cast<OpCode>(step.opcode)) {
            case OpCode::ocTo:
                switch (target.Type()) {
                    case PT_INT:
                        target.SetInteger(a().Int());
                        break;
                    case PT_FLOAT:
                        target.SetFloat(a().Float());
                        break;
                    case PT_BOOL:
                        target.SetFlag(a().Flag());
                        break;
                    case PT_STR:
                        target.SetString(a().String());
                        break;
                    case PT_NONE:
                        break;
                }
                return;
            case OpCode::ocPlus:
                if (target.Type() == PT_FLOAT)
                    return target.SetFloat(CheckedFloat(a().Float() + b().Float()));
                return target.SetInteger(
                    Wrap(static_cast<uint32_t>(a().Int()) + static_cast<uint32_t>(b().Int())));
            case OpCode::ocMinus:
                if (target.Type() == PT_FLOAT)
                    return target.SetFloat(CheckedFloat(a().Float() - b().Float()));
                return target.SetInteger(
                    Wrap(static_cast<uint32_t>(a().Int()) - static_cast<uint32_t>(b().Int())));
            case OpCode::ocMul:
                if (target.Type() == PT_FLOAT)
                    return target.SetFloat(CheckedFloat(a().Float() * b().Float()));
                return target.SetInteger(
                    Wrap(static_cast<uint32_t>(a().Int()) * static_cast<uint32_t>(b().Int())));
            case OpCode::ocDiv:
                if (target.Type() == PT_FLOAT) {
                    Extended divisor = b().Float();
                    if (divisor == 0.0) ThrowDivisionByZero();
                    return target.SetFloat(CheckedFloat(a().Float() / divisor));
                } else {
                    int32_t dividend = a().Int();
                    int32_t divisor = b().Int();
                    if (divisor == 0) ThrowDivisionByZero();
                    // The one quotient that does not fit wraps instead of trapping.
                    if (divisor == -1)
                        return target.SetInteger(Wrap(0u - static_cast<uint32_t>(dividend)));
                    return target.SetInteger(dividend / divisor);
                }
            case OpCode::ocMod: {
                int32_t dividend = a().Int();
                int32_t divisor = b().Int();
                if (divisor == 0) ThrowDivisionByZero();
                return target.SetInteger(divisor == -1 ? 0 : dividend % divisor);
            }
            case OpCode::ocOr:
                return target.SetInteger(a().Int() | b().Int());
            case OpCode::ocAnd:
                return target.SetInteger(a().Int() & b().Int());
            case OpCode::ocXor:
                return target.SetInteger(a().Int() ^ b().Int());
            case OpCode::ocShiftL:
                return target.SetInteger(
                    Wrap(static_cast<uint32_t>(a().Int()) << (b().Int() & 31)));
            case OpCode::ocShiftR:
                return target.SetInteger(
                    Wrap(static_cast<uint32_t>(a().Int()) >> (b().Int() & 31)));
            case OpCode::ocComboStr:
                return target.SetString(a().String() + b().String());
            case OpCode::ocEqual:
                return target.SetFlag(Compare(a(), b()) == 0);
            case OpCode::ocNEqual:
                return target.SetFlag(Compare(a(), b()) != 0);
            case OpCode::ocBig:
                return target.SetFlag(Compare(a(), b()) > 0);
            case OpCode::ocSmall:
                return target.SetFlag(Compare(a(), b()) < 0);
            case OpCode::ocEBig:
                return target.SetFlag(Compare(a(), b()) >= 0);
            case OpCode::ocESmall:
                return target.SetFlag(Compare(a(), b()) <= 0);
            case OpCode::ocFunc: {
                std::vector<std::unique_ptr<TCustomParam>> owned;
                std::vector<TCustomParam*> arguments;
                for (const Operand& op : ops) {
                    owned.push_back(op.AsArgument());
                    arguments.push_back(owned.back().get());
                }
                functions_.Call(FunctionCall{step.functionIndex, target, arguments, variables_,
                                             functions_, context_});
                return;
            }
            case OpCode::ocDimTo:
                return;
            case OpCode::ocNone:
                break;
        }
        ThrowBadStep(step, ops);
    }

    TParamCollection& variables_;
    const SystemFunctionRegistry& functions_;
    const ScriptContext* context_;
    std::vector<std::unique_ptr<TParamCollectionItem>> temps_;
    std::vector<Operand> operands_;
};

}  // namespace

ExpressionResult TKivoParser::Evaluate(TParamCollection& variables,
                                       const SystemFunctionRegistry& functions,
                                       const ScriptContext* context) const {
    if (steps_.empty()) return nullptr;
    Evaluation evaluation(variables, functions, context);
    return evaluation.Run(steps_);
}

std::optional<int32_t> TKivoParser::EvaluateInt(TParamCollection& variables,
                                                const SystemFunctionRegistry& functions,
                                                const ScriptContext* context) const {
    ExpressionResult result = Evaluate(variables, functions, context);
    if (!result) return std::nullopt;
    return result->AsInteger();
}

std::optional<Extended> TKivoParser::EvaluateFloat(TParamCollection& variables,
                                                   const SystemFunctionRegistry& functions,
                                                   const ScriptContext* context) const {
    ExpressionResult result = Evaluate(variables, functions, context);
    if (!result) return std::nullopt;
    return result->AsFloat();
}

std::optional<bool> TKivoParser::EvaluateFlag(TParamCollection& variables,
                                              const SystemFunctionRegistry& functions,
                                              const ScriptContext* context) const {
    ExpressionResult result = Evaluate(variables, functions, context);
    if (!result) return std::nullopt;
    return result->AsFlag();
}

std::optional<std::string> TKivoParser::EvaluateString(TParamCollection& variables,
                                                       const SystemFunctionRegistry& functions,
                                                       const ScriptContext* context) const {
    ExpressionResult result = Evaluate(variables, functions, context);
    if (!result) return std::nullopt;
    return result->AsString();
}

}  // namespace kivo
