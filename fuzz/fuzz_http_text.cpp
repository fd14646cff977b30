// Reads arbitrary bytes as the body an HTTP object fetched and makes its text: EUC-JP to
// Shift-JIS, lines joined by the byte 0x01. It must never read out of bounds, and the text is
// never longer than the body (every conversion keeps or shrinks the byte count).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "scene/kivo_http.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const std::string sjis = kivo::EucJpToShiftJis(body);
    const std::string text = kivo::JoinLines(sjis);
    if (sjis.size() > body.size() || text.size() > sjis.size()) std::abort();
    return 0;
}
