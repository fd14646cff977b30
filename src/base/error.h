#pragma once
// The one error type of the player. Errors carry the system's own message text (UTF-8 in
// the code; converted for dialogs at the edge) and, for bad input, the file they came from.

#include <stdexcept>
#include <string>
#include <string_view>

namespace kivo {

class KivoError : public std::runtime_error {
public:
    explicit KivoError(std::string message) : std::runtime_error(message), message_(std::move(message)) {}
    KivoError(std::string file, std::string message)
        : std::runtime_error(Describe(file, message)), message_(std::move(message)), file_(std::move(file)) {}

    // The system's message without the file name: the text scripts and dialogs show.
    [[nodiscard]] const std::string& Message() const { return message_; }
    // The file the bad data came from, empty when the error is not about a file.
    [[nodiscard]] const std::string& File() const { return file_; }

private:
    static std::string Describe(std::string_view file, std::string_view message);

    std::string message_;
    std::string file_;
};

// Raised by readers of outside data for damaged or truncated input.
[[noreturn]] void ThrowBadData(std::string_view file, std::string_view what);

}  // namespace kivo
