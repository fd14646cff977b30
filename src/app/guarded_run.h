#pragma once
// The program's last line of defence: an error nothing else caught ends the run with its
// message and status 1, instead of an abort with a core file and no word of what went wrong.

#include <functional>
#include <ostream>

namespace kivo {

// Runs body and returns its status. An error that escapes it is written to err as
// "kivoplay: MESSAGE" (one line) and gives status 1.
[[nodiscard]] int GuardedRun(const std::function<int()>& body, std::ostream& err) noexcept;

}  // namespace kivo
