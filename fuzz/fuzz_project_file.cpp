// Reads arbitrary bytes as a project file and as the folder-disc table of the original
// project. Damaged input must raise KivoError, never crash; a project that reads must write
// back to bytes that read as the same project.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/error.h"
#include "script/project_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kivo::ProjectFile project;
    try {
        project = kivo::ProjectFile::Read(std::span(data, size), "kivo.kpb");
    } catch (const kivo::KivoError&) {
        return 0;
    }
    if (!(kivo::ProjectFile::Read(project.Write(), "kivo.kpb") == project)) std::abort();
    const auto table = kivo::ReadFolderDiscTable(std::span(data, size), "/original_kivo.kpb");
    if (table && project.folderDiscs.Lines().size() != table->Lines().size()) std::abort();
    if (table) (void)table->DiscOf("BGM\\a.ogg");
    return 0;
}
