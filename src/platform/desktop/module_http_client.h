#pragma once
// The desktop player's HTTP client: libcurl's client from the network module, opened by the
// first request rather than with the program. Until then, and for good when the module cannot
// be opened, there is nothing to pump; without the module every request fails with the reason.

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/http_client.h"

namespace kivo {

class ModuleHttpClient final : public HttpClient {
  public:
    // The module is looked for in the program's module folders (or in moduleFolders).
    ModuleHttpClient();
    explicit ModuleHttpClient(std::vector<std::filesystem::path> moduleFolders);
    ModuleHttpClient(const ModuleHttpClient&) = delete;
    ModuleHttpClient& operator=(const ModuleHttpClient&) = delete;

    [[nodiscard]] uint64_t Get(std::string_view url) override;
    void Pump() override;
    [[nodiscard]] std::optional<HttpResult> TakeResult(uint64_t id) override;
    void Cancel(uint64_t id) override;

  private:
    // The module's client; null until the first request, and after a failed opening.
    [[nodiscard]] HttpClient* Client();

    std::vector<std::filesystem::path> moduleFolders_;
    std::unique_ptr<HttpClient> client_;
    bool opened_ = false;
    std::string openError_;
    // Requests refused because the module could not be opened, by their ids.
    std::map<uint64_t, HttpResult> refused_;
    uint64_t nextRefusedId_ = 1;
};

}  // namespace kivo
