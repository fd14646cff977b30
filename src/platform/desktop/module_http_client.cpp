#include "platform/desktop/module_http_client.h"

#include "base/error.h"
#include "platform/net/curl_module.h"
#include "platform/shared_module.h"

namespace kivo {

ModuleHttpClient::ModuleHttpClient() : ModuleHttpClient(SharedModule::ProgramModuleFolders()) {}

ModuleHttpClient::ModuleHttpClient(std::vector<std::filesystem::path> moduleFolders)
    : moduleFolders_(std::move(moduleFolders)) {}

HttpClient* ModuleHttpClient::Client() {
    if (!opened_) {
        opened_ = true;
        try {
            const auto& table = SharedModule::OpenTable<CurlClientTable>(
                kCurlModuleFile, "HTTP requests", kCurlModuleEntry, kCurlModuleVersion,
                moduleFolders_);
            client_.reset(table.create());
        } catch (const KivoError& error) {
            openError_ = error.what();
        }
    }
    return client_.get();
}

uint64_t ModuleHttpClient::Get(std::string_view url) {
    if (HttpClient* client = Client()) return client->Get(url);
    // The ids of refused requests cannot meet a client's: there is none for the whole run.
    const uint64_t id = nextRefusedId_++;
    HttpResult& result = refused_[id];
    result.error = openError_;
    return id;
}

void ModuleHttpClient::Pump() {
    if (client_) client_->Pump();
}

std::optional<HttpResult> ModuleHttpClient::TakeResult(uint64_t id) {
    if (client_) return client_->TakeResult(id);
    const auto found = refused_.find(id);
    if (found == refused_.end()) return std::nullopt;
    HttpResult result = std::move(found->second);
    refused_.erase(found);
    return result;
}

void ModuleHttpClient::Cancel(uint64_t id) {
    if (client_) {
        client_->Cancel(id);
    } else {
        refused_.erase(id);
    }
}

}  // namespace kivo
