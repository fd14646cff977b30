#include "platform/quit_signal.h"

namespace kivo {

namespace {

volatile std::sig_atomic_t quitSignalFlag = 0;  // see InstallQuitSignalHandlers

extern "C" void OnQuitSignal(int) {
    quitSignalFlag = 1;
}

}  // namespace

const volatile std::sig_atomic_t* InstallQuitSignalHandlers() {
    std::signal(SIGINT, OnQuitSignal);
    std::signal(SIGTERM, OnQuitSignal);
    return &quitSignalFlag;
}

}  // namespace kivo
