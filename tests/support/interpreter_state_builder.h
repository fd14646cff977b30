#pragma once
// Fixture writer for the interpreter's saved state (the record a saved game keeps of where
// each flow stood), laid out field by field without the interpreter's own writer.
//
//   SavedInterpreter state{.page = "start.ksb", .pc = 1, .begun = true,
//                          .runningState = WaitState(100, 3, false)};
//   std::vector<uint8_t> bytes = WriteInterpreterState(state, 134);

#include <cstdint>
#include <string>
#include <vector>

namespace kivo::test {

// One call-stack frame.
struct SavedFrame {
    std::string page = {};
    int32_t pc = 0;
    bool begun = false;
    bool continueFlag = false;
    std::string resultVariable = {};
    std::vector<std::string> arguments = {};
    std::string sender = {};
    std::vector<uint8_t> runningState = {};  // the interrupted command's state, or none
    uint8_t resultType = 0;                  // 0: no @Result; else its type and stored value
    std::vector<uint8_t> resultValue = {};
};

struct SavedInterpreter {
    std::string page = {};
    int32_t pc = 0;
    bool continueFlag = false;
    bool begun = false;
    int32_t mode = 0;  // 0 normal, 1 handler, 2 handler waiting, 3 nested
    std::string sender = {};
    std::vector<std::string> arguments = {};
    SavedFrame spare = {};  // the frame popped last
    std::vector<SavedFrame> stack = {};
    int32_t level = 2;                       // written from save version 116 on
    std::vector<uint8_t> runningState = {};  // the begun command's state, written last
};

[[nodiscard]] std::vector<uint8_t> WriteInterpreterState(const SavedInterpreter& state,
                                                         int32_t saveVersion);

// The running state of a begun Wait: the "kivo100" signature, the time left, the frame it
// began and whether it blocks events. Without the signature (as the oldest saves store it)
// the last field is left out too.
[[nodiscard]] std::vector<uint8_t> WaitState(int32_t timeLeft, int32_t firstFrame,
                                             bool eventsBlocked, bool withSignature = true);

}  // namespace kivo::test
