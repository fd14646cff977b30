#pragma once
// Where the start-up labels and the interpreter's trace lines go when someone asked for them
// (kivoplay --trace FILE). Without a request the player writes nothing.

#include <filesystem>
#include <fstream>
#include <string_view>

namespace kivo {

class TraceSink {
  public:
    virtual ~TraceSink() = default;

    // Writes one line (a newline is added). Called on the main thread, up to once per executed
    // command, so implementations buffer. Enabled lets callers skip building lines nobody
    // reads.
    virtual void WriteLine(std::string_view line) = 0;
    [[nodiscard]] virtual bool Enabled() const = 0;
    // Hands what was written so far on to the reader now, for lines someone waits for.
    virtual void Flush() {}
};

// Drops everything: the default of every run.
class NullTraceSink final : public TraceSink {
  public:
    void WriteLine(std::string_view) override {}
    [[nodiscard]] bool Enabled() const override { return false; }
};

// Writes the lines to a file, replacing what was there; raises KivoError naming the file when
// it cannot be created.
class FileTraceSink final : public TraceSink {
  public:
    explicit FileTraceSink(const std::filesystem::path& path);
    void WriteLine(std::string_view line) override;
    [[nodiscard]] bool Enabled() const override { return true; }
    void Flush() override { out_.flush(); }

  private:
    std::ofstream out_;
};

}  // namespace kivo
