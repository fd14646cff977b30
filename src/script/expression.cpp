#include "script/expression.h"

#include <string>

#include "base/error.h"

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

TOperand TOperand::Float(double value) {
    TOperand operand;
    operand.kindByte = static_cast<uint8_t>(OperandKind::Float);
    operand.floatValue = Ext80::FromDouble(value);
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

}  // namespace kivo
