#pragma once
// The entry of the network module (kivo_curl.so): libcurl and the TLS, Kerberos and LDAP
// libraries it pulls in cost a good part of the program's dynamic loading, yet most games
// never fetch anything. The module is opened by the first request (desktop/module_http_client).

#include <cstdint>

#include "platform/http_client.h"

namespace kivo {

inline constexpr const char* kCurlModuleFile = "kivo_curl.so";
inline constexpr const char* kCurlModuleEntry = "kivo_curl_client";
// Raised whenever the table below or the HttpClient interface changes, so a stale module left
// from another build is refused by name instead of being called with the wrong layout.
inline constexpr uint32_t kCurlModuleVersion = 1;

struct CurlClientTable {
    uint32_t version;
    // A new client of libcurl's multi interface; deleting it through HttpClient ends it.
    HttpClient* (*create)();
};

}  // namespace kivo

extern "C" {
const kivo::CurlClientTable* kivo_curl_client();
}
