#pragma once
// HTTP GET requests of the game's HTTP objects. The desktop player fetches through libcurl's
// multi interface (platform/net/); headless runs and tests answer from a table, so that a run
// gives the same result every time and never reaches the network.
//
// Every call is made on the main thread. A request is started with Get, advanced by Pump once
// per frame (at the start of the frame step, so a completion reaches the scene there), and its
// result is taken once with TakeResult; Cancel forgets a request whose object went away.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

struct HttpResult {
    bool ok = false;    // a complete body with a success status
    std::string body;   // empty when the request failed
    std::string error;  // why it failed, for the trace
};

// Limits of one request: a body larger than this fails, as does a transfer that takes longer.
inline constexpr size_t kHttpMaxBodyBytes = size_t{32} << 20;
inline constexpr int32_t kHttpTimeoutMs = 60000;
inline constexpr int32_t kHttpConnectTimeoutMs = 15000;

// Whether the address is one we fetch: http:// or https:// (the scheme in any case).
[[nodiscard]] bool IsFetchableUrl(std::string_view url);

class HttpClient {
  public:
    virtual ~HttpClient() = default;

    // Starts a GET of url; the id (never 0) names the request afterwards. An address that is
    // not fetchable still gets an id, whose result is a failure.
    [[nodiscard]] virtual uint64_t Get(std::string_view url) = 0;
    // Advances the transfers; once per frame.
    virtual void Pump() = 0;
    // The result of a finished request, once; nothing while it runs or for an unknown id.
    [[nodiscard]] virtual std::optional<HttpResult> TakeResult(uint64_t id) = 0;
    // Stops a request and forgets it.
    virtual void Cancel(uint64_t id) = 0;
};

// Answers from a table of addresses: a request of an address in the table finishes with its
// result after the given number of pumps (1: at the next frame); any other address fails the
// same way. Every request is written to Requests() in order.
class ScriptedHttpClient final : public HttpClient {
  public:
    void Answer(std::string url, HttpResult result, int32_t pumps = 1);

    [[nodiscard]] uint64_t Get(std::string_view url) override;
    void Pump() override;
    [[nodiscard]] std::optional<HttpResult> TakeResult(uint64_t id) override;
    void Cancel(uint64_t id) override;

    [[nodiscard]] const std::vector<std::string>& Requests() const { return requests_; }

  private:
    struct Scripted {
        HttpResult result;
        int32_t pumps = 1;
    };
    struct Running {
        uint64_t id = 0;
        HttpResult result;
        int32_t pumpsLeft = 1;
    };

    std::map<std::string, Scripted, std::less<>> table_;
    std::deque<Running> running_;
    std::map<uint64_t, HttpResult> finished_;
    std::vector<std::string> requests_;
    uint64_t nextId_ = 1;
};

}  // namespace kivo
