// The desktop HTTP client opens the network module with its first request: a missing module
// fails each request with the reason, and the module's client answers real transfers.

#include "platform/desktop/module_http_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

namespace kivo {
namespace {

// Pumps until the request has a result, for at most a few seconds.
std::optional<HttpResult> AwaitResult(HttpClient& client, uint64_t id) {
    const auto giveUpAt = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < giveUpAt) {
        client.Pump();
        if (std::optional<HttpResult> result = client.TakeResult(id)) return result;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
}

TEST(ModuleHttpClient, WithoutTheModuleEveryRequestFailsNamingIt) {
    const std::filesystem::path empty = std::filesystem::temp_directory_path() / "kivo-no-modules";
    std::filesystem::create_directories(empty);
    ModuleHttpClient client({empty});
    const uint64_t first = client.Get("http://127.0.0.1/a");
    const uint64_t second = client.Get("http://127.0.0.1/b");
    EXPECT_NE(first, second);
    client.Pump();

    const std::optional<HttpResult> result = client.TakeResult(first);
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->ok);
    EXPECT_NE(result->error.find("kivo_curl.so"), std::string::npos) << result->error;
    EXPECT_FALSE(client.TakeResult(first)) << "a result is taken once";

    client.Cancel(second);
    EXPECT_FALSE(client.TakeResult(second)) << "a cancelled request is forgotten";
}

TEST(ModuleHttpClient, TheModulesClientRunsTransfers) {
    ModuleHttpClient client;
    // Refused before any transfer starts.
    const uint64_t ftp = client.Get("ftp://127.0.0.1/file");
    // Nothing listens on port 1 of this machine: the connection is refused at once.
    const uint64_t refused = client.Get("http://127.0.0.1:1/file");

    const std::optional<HttpResult> notFetched = AwaitResult(client, ftp);
    ASSERT_TRUE(notFetched);
    EXPECT_FALSE(notFetched->ok);
    EXPECT_EQ(notFetched->error, "not an http or https address");

    const std::optional<HttpResult> failed = AwaitResult(client, refused);
    ASSERT_TRUE(failed) << "the transfer never finished";
    EXPECT_FALSE(failed->ok);
    EXPECT_FALSE(failed->error.empty());
}

}  // namespace
}  // namespace kivo
