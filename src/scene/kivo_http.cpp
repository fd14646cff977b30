#include "scene/kivo_http.h"

#include "platform/http_client.h"
#include "scene/kivo_base_list.h"

namespace kivo {

namespace {

constexpr uint8_t kPlayEndCode = PR_ONPLAYEND;

// A JIS X 0208 row and cell (each 0x21..0x7E) in Shift-JIS.
void AppendJisAsShiftJis(std::string& out, uint8_t row, uint8_t cell) {
    const uint8_t lead = static_cast<uint8_t>(((row + 1) >> 1) + (row <= 0x5E ? 0x70 : 0xB0));
    uint8_t trail = 0;
    if (row & 1) {
        trail = static_cast<uint8_t>(cell + (cell >= 0x60 ? 0x20 : 0x1F));
    } else {
        trail = static_cast<uint8_t>(cell + 0x7E);
    }
    out.push_back(static_cast<char>(lead));
    out.push_back(static_cast<char>(trail));
}

[[nodiscard]] bool IsEucByte(uint8_t b) {
    return b >= 0xA1 && b <= 0xFE;
}

}  // namespace

std::string EucJpToShiftJis(std::string_view euc) {
    std::string out;
    out.reserve(euc.size());
    for (size_t i = 0; i < euc.size(); ++i) {
        const auto b = static_cast<uint8_t>(euc[i]);
        const auto next = [&](size_t k) {
            return i + k < euc.size() ? static_cast<uint8_t>(euc[i + k]) : uint8_t{0};
        };
        if (b == 0x8E && next(1) >= 0xA1 && next(1) <= 0xDF) {
            out.push_back(static_cast<char>(next(1)));
            ++i;
        } else if (b == 0x8F && IsEucByte(next(1)) && IsEucByte(next(2))) {
            // JIS X 0212 has no Shift-JIS code; passing its bytes on would give broken text.
            out.push_back('?');
            i += 2;
        } else if (IsEucByte(b) && IsEucByte(next(1))) {
            AppendJisAsShiftJis(out, static_cast<uint8_t>(b - 0x80),
                                static_cast<uint8_t>(next(1) - 0x80));
            ++i;
        } else {
            out.push_back(static_cast<char>(b));
        }
    }
    return out;
}

std::string JoinLines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            out.push_back(c);
            continue;
        }
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        if (i + 1 < text.size()) out.push_back('\x01');
    }
    return out;
}

TKivoHttp::~TKivoHttp() {
    // The fetch is stopped rather than waited for: nothing is left to receive its body.
    if (request_ != 0) {
        if (HttpClient* http = Root().Http()) http->Cancel(request_);
    }
}

void TKivoHttp::SetSource(std::string source) {
    if (request_ != 0) return;
    body_.clear();
    if (source.starts_with('!')) {
        TKivoObject* named = Root().FindComponent(std::string_view(source).substr(1));
        const auto* other = dynamic_cast<const TKivoHttp*>(named);
        url_ = other != nullptr ? other->Body() : std::string();
    } else {
        url_ = std::move(source);
    }
    HttpClient* http = Root().Http();
    if (http == nullptr) {
        // Without a client every fetch fails at once, and is still reported.
        PostEvent(kPlayEndCode, playEndHandler_);
        return;
    }
    request_ = http->Get(url_);
}

bool TKivoHttp::Update() {
    if (request_ == 0) return false;
    HttpClient* http = Root().Http();
    std::optional<HttpResult> result = http != nullptr ? http->TakeResult(request_) : HttpResult{};
    if (!result) return false;
    request_ = 0;
    body_ = result->ok ? std::move(result->body) : std::string();
    PostEvent(kPlayEndCode, playEndHandler_);
    return false;
}

std::string TKivoHttp::Text() const {
    return JoinLines(EucJpToShiftJis(body_));
}

const PropertyMap& TKivoHttp::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m = TKivoComponent::ClassProperties();
        m[PR_SOURCE] = Accessor<&TKivoHttp::Source, &TKivoHttp::SetSource>();
        m[PR_TEXT] = Accessor<&TKivoHttp::Text>();
        m[PR_ONPLAYEND] = Accessor<&TKivoHttp::PlayEndHandler, &TKivoHttp::SetPlayEndHandler>();
        return m;
    }();
    return map;
}

}  // namespace kivo
