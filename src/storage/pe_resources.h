#pragma once
// Resources of a Windows program (a PE file): finding one named resource of a named type in
// the resource directory, as the games' own players did to reach the archive they carry. Every
// offset, count and size read from the file is checked against the file and the resource
// section before it is followed.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "storage/big_stream.h"

namespace kivo {

// Where a resource's bytes lie in the file.
struct PeResourceLocation {
    int64_t offset = 0;
    int64_t size = 0;
};

// The first language's data of the resource name of type (names and types are strings,
// compared ignoring ASCII case). nullopt when the file is no PE program, has no resources, or
// lacks this one. A resource directory that points outside itself or the file raises
// KivoError naming source.
[[nodiscard]] std::optional<PeResourceLocation> FindPeResource(TTpBigStream& file,
                                                               std::string_view type,
                                                               std::string_view name,
                                                               const std::string& source);

}  // namespace kivo
