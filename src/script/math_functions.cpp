#include "script/math_functions.h"

#include <algorithm>
#include <cmath>

#include "script/function_arguments.h"

namespace kivo {

namespace {

template <Extended (*Operation)(Extended)>
void FloatFunction(const FunctionCall& call) {
    call.target.SetFloat(Operation(FloatArgument(call, 0)));
}

Extended Sine(Extended x) { return std::sin(x); }
Extended Cosine(Extended x) { return std::cos(x); }
Extended Tangent(Extended x) { return std::tan(x); }
Extended ArcSine(Extended x) { return std::asin(x); }
Extended ArcCosine(Extended x) { return std::acos(x); }
Extended ArcTangent(Extended x) { return std::atan(x); }
Extended Absolute(Extended x) { return std::fabs(x); }

void ArcTan2(const FunctionCall& call) {
    // The first argument is y.
    call.target.SetFloat(std::atan2(FloatArgument(call, 0), FloatArgument(call, 1)));
}

void Hypot(const FunctionCall& call) {
    call.target.SetFloat(std::hypot(FloatArgument(call, 0), FloatArgument(call, 1)));
}

void Abs(const FunctionCall& call) {
    // The most negative integer has no positive counterpart and stays as it is.
    const auto value = static_cast<uint32_t>(IntArgument(call, 0));
    const uint32_t magnitude = IntArgument(call, 0) < 0 ? 0u - value : value;
    call.target.SetInteger(static_cast<int32_t>(magnitude));
}

void Min(const FunctionCall& call) {
    call.target.SetInteger(std::min(IntArgument(call, 0), IntArgument(call, 1)));
}

void Max(const FunctionCall& call) {
    call.target.SetInteger(std::max(IntArgument(call, 0), IntArgument(call, 1)));
}

void Fmin(const FunctionCall& call) {
    call.target.SetFloat(std::min(FloatArgument(call, 0), FloatArgument(call, 1)));
}

void Fmax(const FunctionCall& call) {
    call.target.SetFloat(std::max(FloatArgument(call, 0), FloatArgument(call, 1)));
}

void Not(const FunctionCall& call) {
    call.target.SetFlag(!FlagArgument(call, 0));
}

}  // namespace

void RegisterMathFunctions(SystemFunctionRegistry& registry) {
    RegisterFunctions(registry, {
                                    {"Sin", FloatFunction<Sine>},
                                    {"Cos", FloatFunction<Cosine>},
                                    {"Tan", FloatFunction<Tangent>},
                                    {"ArcSin", FloatFunction<ArcSine>},
                                    {"ArcCos", FloatFunction<ArcCosine>},
                                    {"ArcTan", FloatFunction<ArcTangent>},
                                    {"ArcTan2", ArcTan2},
                                    {"Hypot", Hypot},
                                    {"Abs", Abs},
                                    {"Fabs", FloatFunction<Absolute>},
                                    {"Min", Min},
                                    {"Max", Max},
                                    {"Fmin", Fmin},
                                    {"Fmax", Fmax},
                                    {"Not", Not},
                                });
}

}  // namespace kivo
