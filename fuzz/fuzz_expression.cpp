// Two readers of outside data: stored expressions from page files (first byte even) and
// expression text from scripts (first byte odd). Both must fail with KivoError, never crash;
// a stored expression that loads must save back to bytes that read as the same steps, and whatever
// compiles must evaluate or fail cleanly.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "base/byte_io.h"
#include "base/error.h"
#include "script/expression.h"
#include "script/expression_compiler.h"
#include "script/function_registry.h"
#include "script/param_collection.h"

namespace {

void Evaluate(const kivo::TKivoParser& parser) {
    kivo::TParamCollection vars;
    vars.Create("x", kivo::PT_INT).Value().SetInteger(3);
    vars.Create("s", kivo::PT_STR).Value().SetString("ab");
    kivo::TParamCollectionItem& a = vars.Create("a", kivo::PT_FLOAT);
    const int32_t dims[] = {3, 4};
    a.Value().SetDimensions(dims);
    kivo::SystemFunctionRegistry functions;
    try {
        kivo::ExpressionResult result = parser.Evaluate(vars, functions);
        if (result) (void)result->AsString();
    } catch (const kivo::KivoError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::span<const uint8_t> rest(data + 1, size - 1);
    if (data[0] % 2 == 0) {
        kivo::ByteReader reader(rest, "fuzz.ksb");
        kivo::TKivoParser parser;
        try {
            parser.Load(reader);
        } catch (const kivo::KivoError&) {
            return 0;
        }
        // Written back, it reads as the same steps (byte for byte, except that a negative
        // string count, which reads as empty, is written as 0).
        kivo::ByteWriter writer;
        parser.Save(writer);
        kivo::ByteReader again(writer.Bytes(), "fuzz.ksb");
        kivo::TKivoParser copy;
        copy.Load(again);
        if (!(copy == parser) || !again.AtEnd()) std::abort();
        Evaluate(parser);
        return 0;
    }
    std::string_view text(reinterpret_cast<const char*>(rest.data()), rest.size());
    kivo::TKivoParser parser;
    try {
        parser = kivo::CompileExpression(text);
    } catch (const kivo::KivoError&) {
        return 0;
    }
    Evaluate(parser);
    return 0;
}
