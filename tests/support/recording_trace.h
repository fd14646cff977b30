#pragma once
// A trace sink that keeps its lines, for tests that read what was traced.

#include <string>
#include <string_view>
#include <vector>

#include "platform/trace_sink.h"

namespace kivo::test {

class RecordingTrace final : public TraceSink {
  public:
    void WriteLine(std::string_view line) override { lines.emplace_back(line); }
    [[nodiscard]] bool Enabled() const override { return true; }

    std::vector<std::string> lines;
};

}  // namespace kivo::test
