#pragma once
// Code the player opens only when a feature first needs it. The codec libraries and the dialog
// toolkit pull in well over a hundred shared libraries; linking them into the program made the
// dynamic loader the largest part of every launch, although most runs never decode a video or
// show a dialog. Their code is built as modules that live next to the program in the build
// folder and in its private library folder once installed.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

class SharedModule {
  public:
    // Opens fileName from the first of folders that holds it. Raises KivoError naming the
    // module and feature (what the module is needed for) when none does or it cannot be
    // loaded. A module stays loaded for the rest of the run: objects it made may outlive
    // whoever opened it.
    [[nodiscard]] static SharedModule Open(std::string_view fileName, std::string_view feature,
                                           std::span<const std::filesystem::path> folders);
    // The folders the program's modules are looked for in: the program's own folder (the
    // build tree), then its private library folder relative to it (an installed tree).
    [[nodiscard]] static std::vector<std::filesystem::path> ProgramModuleFolders();

    // The address of the exported symbol; raises KivoError naming the module when it has none.
    [[nodiscard]] void* Symbol(const char* name) const;

    // Opens fileName and calls its entry, a function without arguments that returns the
    // module's table of functions, whose first member is the version of the table it was
    // built with. Raises KivoError as Open does, and when the version is not version (a
    // module left from another build of the player).
    template <typename Table>
    [[nodiscard]] static const Table& OpenTable(std::string_view fileName, std::string_view feature,
                                                const char* entryName, uint32_t version,
                                                std::span<const std::filesystem::path> folders) {
        const SharedModule module = Open(fileName, feature, folders);
        using Entry = const Table* (*)();
        const Table* table = reinterpret_cast<Entry>(module.Symbol(entryName))();
        if (table == nullptr || table->version != version) module.RefuseOtherBuild();
        return *table;
    }

  private:
    [[noreturn]] void RefuseOtherBuild() const;

    SharedModule(void* handle, std::string name) : handle_(handle), name_(std::move(name)) {}
    void* handle_;
    std::string name_;
};

}  // namespace kivo
