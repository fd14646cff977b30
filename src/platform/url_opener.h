#pragma once
// Opening a web address in the person's browser (the OpenUrl function). The desktop player
// starts xdg-open with the address as its only argument, without a shell; a headless run only
// writes the address to its trace, so that tests see what a game asked for and nothing starts.

#include <string_view>
#include <sys/types.h>
#include <vector>

namespace kivo {

class TraceSink;

class UrlOpener {
  public:
    virtual ~UrlOpener() = default;
    // Called on the main thread by the interpreter, only with addresses that begin with
    // "http://", "https://" or "ftp://"; returns at once without waiting for the browser.
    virtual void Open(std::string_view url) = 0;
};

// Starts "xdg-open url" found through PATH in a session of its own and does not wait for it
// (it may run the browser in the foreground); a failure to start is ignored, as the game has
// no way to react to it. Finished children are reaped on the next call and at destruction.
class XdgUrlOpener final : public UrlOpener {
  public:
    XdgUrlOpener() = default;
    ~XdgUrlOpener() override;
    XdgUrlOpener(const XdgUrlOpener&) = delete;
    XdgUrlOpener& operator=(const XdgUrlOpener&) = delete;

    void Open(std::string_view url) override;

  private:
    void ReapFinished();

    std::vector<pid_t> children_;
};

// Writes "OpenUrl <url>" to the trace (when it is enabled) and starts nothing.
class TracedUrlOpener final : public UrlOpener {
  public:
    explicit TracedUrlOpener(TraceSink& trace) : trace_(trace) {}
    void Open(std::string_view url) override;

  private:
    TraceSink& trace_;
};

}  // namespace kivo
