// The page fixture writer's expression shorthand must give the very records the expression
// compiler gives, so that pages built by tests look like pages the editor writes.
#include <gtest/gtest.h>

#include "script/expression_compiler.h"
#include "support/page_builder.h"

namespace kivo {
namespace {

TEST(ExpressionFixtureTest, SimpleFormsMatchTheCompiler) {
    for (const char* text : {"7", "-3", "1.5", "TRUE", "FALSE", "x", "@Result", "\"ab\"", "x = 5",
                             "x = x + 1", "a < 10", "a >= b", "a <> \"\"", "n = n * 2",
                             "s = \"a\" ++ \"b\"", "f = 7.0 / 2", "k = j << 3", "x = y"}) {
        SCOPED_TRACE(text);
        ByteWriter compiled;
        CompileExpression(text).Save(compiled);
        EXPECT_EQ(test::ExprBuilder(text).Bytes(), compiled.Bytes());
    }
}

}  // namespace
}  // namespace kivo
