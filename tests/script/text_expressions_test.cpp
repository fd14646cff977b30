#include "script/text_expressions.h"

#include <gtest/gtest.h>

#include "script/expression_compiler.h"
#include "script/function_registry.h"
#include "script/param.h"
#include "script/param_collection.h"
#include "text/tp_word.h"

namespace kivo {
namespace {

TEST(TextExpressions, VariableFieldsShowExpressionValues) {
    TParamCollection variables;
    SystemFunctionRegistry functions;
    variables.Create("x", PT_INT).Value().SetInteger(41);
    ScriptTextExpressions expressions(variables, functions);
    EXPECT_EQ(expressions.Evaluate("x + 1").value_or("?"), "42");
    EXPECT_FALSE(expressions.Evaluate("x +").has_value());        // does not compile
    EXPECT_FALSE(expressions.Evaluate("1 / 0 + y").has_value());  // fails when run

    // The oldest glyph streams store the field's expression compiled.
    ByteWriter stream;
    stream.WriteI32(1);  // one decoration
    for (int32_t field : {1, -1, -1, 12})
        stream.WriteI32(field);
    stream.WriteU8(0);  // style
    stream.WriteU8(0);  // no-break
    stream.WriteU8(0);  // border
    stream.WriteCountedString("");
    stream.WriteCountedString("");
    stream.WriteI32(1);  // one glyph: a variable field
    stream.WriteU8(7);
    stream.WriteI32(0);
    CompileExpression("x * 2").Save(stream);
    TTpWord word;
    word.SetExpressions(&expressions);
    ASSERT_TRUE(IsGlyphStream(stream.Bytes(), &expressions));
    word.LoadGlyphs(stream.Bytes(), "old");
    word.ExpandVars(0, -1);
    ASSERT_EQ(word.GlyphCount(), 3u);
    EXPECT_EQ(word.Glyph(1)->CharText() + word.Glyph(2)->CharText(), "82");
}

}  // namespace
}  // namespace kivo
