#include "platform/http_client.h"

#include <algorithm>
#include <cctype>

namespace kivo {

bool IsFetchableUrl(std::string_view url) {
    auto startsWithNoCase = [url](std::string_view prefix) {
        return url.size() > prefix.size() &&
               std::equal(prefix.begin(), prefix.end(), url.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) ==
                          std::tolower(static_cast<unsigned char>(b));
               });
    };
    return startsWithNoCase("http://") || startsWithNoCase("https://");
}

void ScriptedHttpClient::Answer(std::string url, HttpResult result, int32_t pumps) {
    table_[std::move(url)] = Scripted{std::move(result), std::max(pumps, 1)};
}

uint64_t ScriptedHttpClient::Get(std::string_view url) {
    requests_.emplace_back(url);
    Running request{nextId_++, {}, 1};
    const auto found = table_.find(url);
    if (!IsFetchableUrl(url)) {
        request.result.error = "not an http or https address";
    } else if (found == table_.end()) {
        request.result.error = "no answer for this address";
    } else {
        request.result = found->second.result;
        request.pumpsLeft = found->second.pumps;
    }
    if (!request.result.ok) request.result.body.clear();
    running_.push_back(std::move(request));
    return running_.back().id;
}

void ScriptedHttpClient::Pump() {
    for (auto it = running_.begin(); it != running_.end();) {
        if (--it->pumpsLeft > 0) {
            ++it;
            continue;
        }
        finished_[it->id] = std::move(it->result);
        it = running_.erase(it);
    }
}

std::optional<HttpResult> ScriptedHttpClient::TakeResult(uint64_t id) {
    const auto found = finished_.find(id);
    if (found == finished_.end()) return std::nullopt;
    HttpResult result = std::move(found->second);
    finished_.erase(found);
    return result;
}

void ScriptedHttpClient::Cancel(uint64_t id) {
    std::erase_if(running_, [id](const Running& r) { return r.id == id; });
    finished_.erase(id);
}

}  // namespace kivo
