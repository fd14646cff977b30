#pragma once
// A cabinet: an invisible control that parks objects a script put away. Its children are
// neither updated nor shown, and they raise no events, until they are moved out again.

#include "scene/kivo_control.h"

namespace kivo {

class TKivoCabinet final : public TKivoControl {
  public:
    explicit TKivoCabinet(TKivoBaseList& root) : TKivoControl(root) { neverShown_ = true; }

    [[nodiscard]] int32_t Kind() const override { return LT_CABINET; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoCabinet"; }
    void Draw(TDrawContext& /*context*/) override {}
    [[nodiscard]] TKivoControl* HitTest(int32_t /*x*/, int32_t /*y*/,
                                        IgnoreMouseMask /*mask*/) override {
        return nullptr;
    }
};

}  // namespace kivo
