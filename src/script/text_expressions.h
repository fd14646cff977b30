#pragma once
// The expression engine as the text layer asks for it: variable fields of marked-up text show
// the value of an expression, compiled from its text or stored compiled in old glyph streams.

#include "text/text_services.h"

namespace kivo {

class TParamCollection;
class SystemFunctionRegistry;

class ScriptTextExpressions : public TextExpressions {
  public:
    // Both are borrowed and must outlive every text that uses this.
    ScriptTextExpressions(TParamCollection& variables, const SystemFunctionRegistry& functions)
        : variables_(variables), functions_(functions) {}

    [[nodiscard]] std::optional<std::string> Evaluate(std::string_view expression) override;
    [[nodiscard]] std::unique_ptr<StoredTextExpression> ReadStored(ByteReader& reader) override;

  private:
    TParamCollection& variables_;
    const SystemFunctionRegistry& functions_;
};

}  // namespace kivo
