#include "script/host_functions.h"

#include "script/function_arguments.h"
#include "script/script_context.h"
#include "script/string_functions.h"

namespace kivo {

namespace {

// The interpreter the call runs in; a function that needs it fails outside one, as functions
// that need the context do.
InterpreterPort& Interpreter(const FunctionCall& call) {
    InterpreterPort* interpreter = call.Context().interpreter;
    if (!interpreter) {
        throw KivoError(std::string(FindFunction(call.index)->name) + " は使用できない関数です");
    }
    return *interpreter;
}

void FileExists(const FunctionCall& call) {
    const std::string name = StringArgument(call, 0);
    call.target.SetFlag(!name.empty() && Interpreter(call).FileExists(name));
}

void LoadTextFile(const FunctionCall& call) {
    const std::string name = StringArgument(call, 1);
    InterpreterPort& interpreter = Interpreter(call);
    if (name.empty() || !interpreter.FileAvailable(name)) return call.target.SetFlag(false);
    const std::vector<uint8_t> bytes = interpreter.LoadFile(name);
    const std::vector<std::string> lines = SplitLines(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    TCustomParam* value = WholeValue(call, 0);
    if (lines.empty() || !value) return call.target.SetFlag(false);
    if (static_cast<int64_t>(lines.size()) > kMaxElementCount) {
        throw KivoError("配列の要素数[" + std::to_string(lines.size()) + "]が不正です");
    }
    value->SetDimensions(std::vector<int32_t>{static_cast<int32_t>(lines.size())});
    for (size_t i = 0; i < lines.size(); ++i)
        value->SetStringAt(static_cast<int32_t>(i), lines[i]);
    call.target.SetFlag(true);
}

void OpenUrl(const FunctionCall& call) {
    const std::string url = StringArgument(call, 0);
    if (IsOpenableUrl(url)) call.Context().urls.Open(url);
}

void DeleteStack(const FunctionCall& call) {
    call.target.SetFlag(Interpreter(call).DeleteStackFrame(IntArgument(call, 0)));
}

}  // namespace

bool IsOpenableUrl(std::string_view url) {
    for (char c : url) {
        if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F) return false;
    }
    for (std::string_view scheme : {"http://", "https://", "ftp://"}) {
        if (url.size() > scheme.size() && url.starts_with(scheme)) return true;
    }
    return false;
}

void RegisterHostFunctions(SystemFunctionRegistry& registry) {
    RegisterFunctions(registry, {
                                    {"FileExists", FileExists},
                                    {"LoadTextFile", LoadTextFile},
                                    {"OpenUrl", OpenUrl},
                                    {"DeleteStack", DeleteStack},
                                });
}

}  // namespace kivo
