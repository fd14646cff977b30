#pragma once
// HTTP GET through libcurl's multi interface, advanced once per frame on the main thread:
// http and https only (redirects too, within those two), with connect and total timeouts and
// a cap on the body. No thread of its own, so nothing needs a lock.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/http_client.h"

namespace kivo {

class CurlHttpClient final : public HttpClient {
  public:
    CurlHttpClient();
    ~CurlHttpClient() override;
    CurlHttpClient(const CurlHttpClient&) = delete;
    CurlHttpClient& operator=(const CurlHttpClient&) = delete;

    [[nodiscard]] uint64_t Get(std::string_view url) override;
    void Pump() override;
    [[nodiscard]] std::optional<HttpResult> TakeResult(uint64_t id) override;
    void Cancel(uint64_t id) override;

  private:
    struct Transfer;

    void Finish(Transfer& transfer, HttpResult result);

    void* multi_ = nullptr;  // the CURLM handle; null when libcurl could not start
    std::map<uint64_t, std::unique_ptr<Transfer>> running_;
    std::map<uint64_t, HttpResult> finished_;
    uint64_t nextId_ = 1;
};

}  // namespace kivo
