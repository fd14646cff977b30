#include "base/json_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "base/sjis.h"

namespace kivo {

void AppendJsonString(std::string& out, std::string_view cp932) {
    const std::string utf8 = sjis::ToUtf8(cp932);
    out.push_back('"');
    for (char c : utf8) {
        switch (c) {
            case '"':
                out.append("\\\"");
                break;
            case '\\':
                out.append("\\\\");
                break;
            case '\n':
                out.append("\\n");
                break;
            case '\r':
                out.append("\\r");
                break;
            case '\t':
                out.append("\\t");
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out.append(escaped);
                } else {
                    out.push_back(c);
                }
        }
    }
    out.push_back('"');
}

void AppendJsonNumber(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out.append("null");
        return;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    out.append(text);
}

void AppendJsonNumber(std::string& out, long double value) {
    if (!std::isfinite(value)) {
        out.append("null");
        return;
    }
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, value);
    out.append(text, written.ptr);
}

}  // namespace kivo
