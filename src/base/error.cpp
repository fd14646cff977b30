#include "base/error.h"

namespace kivo {

std::string KivoError::Describe(std::string_view file, std::string_view message) {
    if (file.empty()) return std::string(message);
    std::string text(file);
    text += ": ";
    text += message;
    return text;
}

void ThrowBadData(std::string_view file, std::string_view what) {
    throw KivoError(std::string(file), std::string(what));
}

}  // namespace kivo
