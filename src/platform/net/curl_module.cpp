#include "platform/net/curl_module.h"

#include "platform/net/curl_http_client.h"

const kivo::CurlClientTable* kivo_curl_client() {
    static const kivo::CurlClientTable table{
        kivo::kCurlModuleVersion, []() -> kivo::HttpClient* { return new kivo::CurlHttpClient(); }};
    return &table;
}
