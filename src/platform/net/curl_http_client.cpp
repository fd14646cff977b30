#include "platform/net/curl_http_client.h"

#include <curl/curl.h>

namespace kivo {

struct CurlHttpClient::Transfer {
    uint64_t id = 0;
    CURL* easy = nullptr;
    std::string url;
    std::string body;

    ~Transfer() {
        if (easy != nullptr) curl_easy_cleanup(easy);
    }
};

namespace {

size_t ReceiveBody(char* data, size_t size, size_t count, void* user) {
    auto* body = static_cast<std::string*>(user);
    const size_t bytes = size * count;
    if (body->size() + bytes > kHttpMaxBodyBytes) return 0;  // ends the transfer with an error
    body->append(data, bytes);
    return bytes;
}

HttpResult Failure(std::string error) {
    HttpResult result;
    result.error = std::move(error);
    return result;
}

}  // namespace

CurlHttpClient::CurlHttpClient() {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK) multi_ = curl_multi_init();
}

CurlHttpClient::~CurlHttpClient() {
    auto* multi = static_cast<CURLM*>(multi_);
    for (auto& [id, transfer] : running_) {
        if (multi != nullptr) curl_multi_remove_handle(multi, transfer->easy);
    }
    running_.clear();
    if (multi != nullptr) {
        curl_multi_cleanup(multi);
        curl_global_cleanup();
    }
}

uint64_t CurlHttpClient::Get(std::string_view url) {
    const uint64_t id = nextId_++;
    auto* multi = static_cast<CURLM*>(multi_);
    if (!IsFetchableUrl(url)) {
        finished_[id] = Failure("not an http or https address");
        return id;
    }
    auto transfer = std::make_unique<Transfer>();
    transfer->id = id;
    transfer->url = std::string(url);
    transfer->easy = multi != nullptr ? curl_easy_init() : nullptr;
    if (transfer->easy == nullptr) {
        finished_[id] = Failure("the HTTP client could not start");
        return id;
    }
    CURL* easy = transfer->easy;
    curl_easy_setopt(easy, CURLOPT_URL, transfer->url.c_str());
    // Only http and https, for the first request and for every redirect.
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(kHttpConnectTimeoutMs));
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(kHttpTimeoutMs));
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kHttpMaxBodyBytes));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &ReceiveBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer->body);
    curl_easy_setopt(easy, CURLOPT_PRIVATE, transfer.get());
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
        finished_[id] = Failure("the HTTP request could not start");
        return id;
    }
    running_[id] = std::move(transfer);
    return id;
}

void CurlHttpClient::Pump() {
    auto* multi = static_cast<CURLM*>(multi_);
    if (multi == nullptr || running_.empty()) return;
    int stillRunning = 0;
    (void)curl_multi_perform(multi, &stillRunning);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg != CURLMSG_DONE) continue;
        void* privateData = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &privateData);
        auto* transfer = static_cast<Transfer*>(privateData);
        HttpResult result;
        if (message->data.result == CURLE_OK) {
            result.ok = true;
            result.body = std::move(transfer->body);
        } else {
            result.error = curl_easy_strerror(message->data.result);
        }
        curl_multi_remove_handle(multi, message->easy_handle);
        Finish(*transfer, std::move(result));
    }
}

void CurlHttpClient::Finish(Transfer& transfer, HttpResult result) {
    const uint64_t id = transfer.id;
    finished_[id] = std::move(result);
    running_.erase(id);
}

std::optional<HttpResult> CurlHttpClient::TakeResult(uint64_t id) {
    const auto found = finished_.find(id);
    if (found == finished_.end()) return std::nullopt;
    HttpResult result = std::move(found->second);
    finished_.erase(found);
    return result;
}

void CurlHttpClient::Cancel(uint64_t id) {
    finished_.erase(id);
    const auto found = running_.find(id);
    if (found == running_.end()) return;
    if (auto* multi = static_cast<CURLM*>(multi_))
        curl_multi_remove_handle(multi, found->second->easy);
    running_.erase(found);
}

}  // namespace kivo
