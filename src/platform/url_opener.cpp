#include "platform/url_opener.h"

#include <spawn.h>
#include <sys/wait.h>

#include <string>

#include "platform/trace_sink.h"

extern char** environ;

namespace kivo {

XdgUrlOpener::~XdgUrlOpener() { ReapFinished(); }

void XdgUrlOpener::Open(std::string_view url) {
    ReapFinished();
    std::string program = "xdg-open";
    std::string argument(url);
    char* argv[] = {program.data(), argument.data(), nullptr};
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) return;
    // Its own session: a Ctrl+C meant for the player does not reach the browser.
    (void)posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t child = 0;
    if (posix_spawnp(&child, program.c_str(), nullptr, &attributes, argv, environ) == 0) {
        children_.push_back(child);
    }
    posix_spawnattr_destroy(&attributes);
}

void XdgUrlOpener::ReapFinished() {
    std::erase_if(children_, [](pid_t child) {
        int status = 0;
        return waitpid(child, &status, WNOHANG) != 0;
    });
}

void TracedUrlOpener::Open(std::string_view url) {
    if (trace_.Enabled()) trace_.WriteLine("OpenUrl " + std::string(url));
}

}  // namespace kivo
