#include "script/text_expressions.h"

#include "base/error.h"
#include "script/expression.h"
#include "script/expression_compiler.h"
#include "script/param.h"

namespace kivo {
namespace {

// A compile or run error shows nothing, as does an expression without a result.
std::optional<std::string> ValueText(const TKivoParser& parser, TParamCollection& variables,
                                     const SystemFunctionRegistry& functions) {
    try {
        ExpressionResult result = parser.Evaluate(variables, functions);
        if (result == nullptr) return std::nullopt;
        return result->AsString();
    } catch (const KivoError&) {
        return std::nullopt;
    }
}

class StoredExpression : public StoredTextExpression {
  public:
    StoredExpression(TKivoParser parser, TParamCollection& variables,
                     const SystemFunctionRegistry& functions)
        : parser_(std::move(parser)), variables_(variables), functions_(functions) {}

    std::optional<std::string> Evaluate() override {
        return ValueText(parser_, variables_, functions_);
    }

  private:
    TKivoParser parser_;
    TParamCollection& variables_;
    const SystemFunctionRegistry& functions_;
};

}  // namespace

std::optional<std::string> ScriptTextExpressions::Evaluate(std::string_view expression) {
    TKivoParser parser;
    try {
        parser = CompileExpression(expression);
    } catch (const KivoError&) {
        return std::nullopt;
    }
    return ValueText(parser, variables_, functions_);
}

std::unique_ptr<StoredTextExpression> ScriptTextExpressions::ReadStored(ByteReader& reader) {
    TKivoParser parser;
    parser.Load(reader);
    return std::make_unique<StoredExpression>(std::move(parser), variables_, functions_);
}

}  // namespace kivo
