#include "platform/shared_module.h"

#include <dlfcn.h>

#include <system_error>

#include "base/error.h"

#ifndef KIVO_MODULE_SUBDIR
#define KIVO_MODULE_SUBDIR "../lib/kivoplay"
#endif

namespace kivo {

namespace {

std::string LoaderMessage() {
    const char* text = dlerror();
    return text != nullptr ? text : "unknown error";
}

}  // namespace

SharedModule SharedModule::Open(std::string_view fileName, std::string_view feature,
                                std::span<const std::filesystem::path> folders) {
    const std::string name(fileName);
    const std::string prefix = "the module " + name + " needed for " + std::string(feature);
    for (const std::filesystem::path& folder : folders) {
        const std::filesystem::path path = folder / name;
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) continue;
        // RTLD_NOW: a module that does not fit this program fails here, with the loader's
        // reason, not at some later call in the middle of a frame.
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            throw KivoError(prefix + " cannot be loaded: " + LoaderMessage());
        }
        return SharedModule(handle, path.string());
    }
    throw KivoError(prefix + " is not installed next to the program");
}

std::vector<std::filesystem::path> SharedModule::ProgramModuleFolders() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    const std::filesystem::path folder = program.parent_path();
    return {folder, (folder / KIVO_MODULE_SUBDIR).lexically_normal()};
}

void* SharedModule::Symbol(const char* name) const {
    dlerror();
    void* address = dlsym(handle_, name);
    if (address == nullptr) {
        throw KivoError(name_, "module without " + std::string(name) + ": " + LoaderMessage());
    }
    return address;
}

void SharedModule::RefuseOtherBuild() const {
    throw KivoError(name_, "module from another build of the player");
}

}  // namespace kivo
