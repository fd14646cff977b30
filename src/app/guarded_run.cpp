#include "app/guarded_run.h"

#include <exception>

namespace kivo {

int GuardedRun(const std::function<int()>& body, std::ostream& err) noexcept {
    try {
        return body();
    } catch (const std::exception& error) {
        err << "kivoplay: " << error.what() << '\n';
    } catch (...) {
        err << "kivoplay: unknown error\n";
    }
    err.flush();
    return 1;
}

}  // namespace kivo
