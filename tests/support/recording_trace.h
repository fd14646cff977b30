#pragma once
// A trace sink that keeps its lines, for tests that read what was traced.

#include <csignal>
#include <string>
#include <string_view>
#include <vector>

#include "platform/trace_sink.h"

namespace kivo::test {

// A run that writes more than kLimit lines is caught in a loop: the trace then stops keeping
// them and sets runaway, which a test can make the player's quit signal, so that the test
// fails instead of hanging.
class RecordingTrace final : public TraceSink {
  public:
    static constexpr size_t kLimit = 100000;

    void WriteLine(std::string_view line) override {
        if (lines.size() < kLimit) {
            lines.emplace_back(line);
        } else {
            runaway = 1;
        }
    }
    [[nodiscard]] bool Enabled() const override { return true; }

    std::vector<std::string> lines;
    volatile std::sig_atomic_t runaway = 0;
};

}  // namespace kivo::test
