#pragma once
// Stored expressions in the text forms. An expression is written as infix text in braces,
// "{x = a + 1}", whenever the run-time compiler turns that text back into exactly the stored
// steps; otherwise (steps the editor's compiler would never make, raw float bytes, strings that
// cannot be written as literals) as the explicit list of steps in brackets:
//   [ocPlus ____0 = a, 1; ocTo x = ____0]
// so that nothing is ever lost. "{}" is the empty expression (no steps).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/expression.h"
#include "tools/script/text/text_syntax.h"

namespace kivo::script_text {

// The text of expr as it stands in a field: "{...}" or "[...]".
[[nodiscard]] std::string WriteExpression(const TKivoParser& expr);

// Reads "{...}" or "[...]" at the scanner. Infix text that does not compile fails at its
// position with the compiler's message.
[[nodiscard]] TKivoParser ReadExpression(LineScanner& scanner);

// The infix text (CP932) that the steps were most likely compiled from, or nullopt when they
// do not have the shape the compiler gives. The caller still checks by compiling it again.
[[nodiscard]] std::optional<std::string> DecompileExpression(const std::vector<TOpeData>& steps);

// One operand as the list form writes it: 12, 1.5, TRUE, "text", name, and the escapes for
// what has no plain form ($x80:<20 hex digits>, $flag:N, $ref "name", $refK "name").
[[nodiscard]] std::string WriteOperand(const TOperand& operand);
[[nodiscard]] TOperand ReadOperand(LineScanner& scanner);

// The explicit list form of the steps, "[...]".
[[nodiscard]] std::string WriteStepList(const std::vector<TOpeData>& steps);

}  // namespace kivo::script_text
