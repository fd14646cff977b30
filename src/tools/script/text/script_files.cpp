#include "tools/script/text/script_files.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "base/error.h"
#include "base/sjis.h"
#include "script/page_file.h"
#include "script/project_file.h"
#include "storage/vr_file_collection.h"
#include "tools/script/text/page_text.h"
#include "tools/script/text/project_text.h"

namespace kivo::script_text {

namespace {

struct KindByExtension {
    std::string_view extension;
    SourceKind kind;
};

constexpr std::array kKinds{
    KindByExtension{".ksb", SourceKind::Page},
    KindByExtension{".kpb", SourceKind::Project},
    KindByExtension{".kss", SourceKind::PageText},
    KindByExtension{".kps", SourceKind::ProjectText},
};

std::string_view BaseName(std::string_view name) {
    size_t cut = name.find_last_of("/\\:");
    return cut == std::string_view::npos ? name : name.substr(cut + 1);
}

std::string_view AsText(const std::vector<uint8_t>& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace

SourceKind KindOf(const std::string& name) {
    std::string lower = sjis::ToLowerAscii(BaseName(name));
    for (const KindByExtension& entry : kKinds) {
        if (lower.size() > entry.extension.size() && lower.ends_with(entry.extension)) {
            return entry.kind;
        }
    }
    throw KivoError(name, "is not a page (.ksb), project file (.kpb) or text form (.kss, .kps)");
}

SourceFile LoadSource(const std::string& location, const HostReader& read) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (!fs::exists(location, error)) {
        // ARCHIVE:NAME, where ARCHIVE is the longest prefix that names a file.
        for (size_t colon = location.rfind(':'); colon != std::string::npos && colon > 0;
             colon = location.rfind(':', colon - 1)) {
            fs::path archivePath = location.substr(0, colon);
            if (!fs::is_regular_file(archivePath, error)) continue;
            std::string entryName = location.substr(colon + 1);
            std::optional<std::string> cp932 = sjis::FromUtf8(entryName);
            if (!cp932) throw KivoError(location, "the entry name cannot be written in code page 932");
            std::replace(cp932->begin(), cp932->end(), '/', '\\');
            TVrFileCollection archive;
            archive.OpenArchive(archivePath, true);
            if (archive.ArchiveStream() == nullptr) {
                throw KivoError(archivePath.string(), "no archive found in this file");
            }
            const TVrFile* entry = archive.FindFile(*cp932);
            if (entry == nullptr) throw KivoError(location, "no such entry in the archive");
            return SourceFile{location, KindOf(entryName), archive.ReadEntry(*entry)};
        }
    }
    return SourceFile{location, KindOf(location), read(location)};
}

std::string Disassemble(const SourceFile& file) {
    switch (file.kind) {
        case SourceKind::Page: {
            PageFile page = PageFile::Read(file.bytes, file.name);
            return WritePageText(page, BaseName(file.name));
        }
        case SourceKind::Project:
            return WriteProjectText(ProjectFile::Read(file.bytes, file.name));
        case SourceKind::PageText:
        case SourceKind::ProjectText:
            break;
    }
    throw KivoError(file.name, "is a text form already; use asm to build it");
}

std::vector<uint8_t> Assemble(const SourceFile& file) {
    switch (file.kind) {
        case SourceKind::PageText:
            return ReadPageText(AsText(file.bytes), file.name).Write(file.name);
        case SourceKind::ProjectText:
            return ReadProjectText(AsText(file.bytes), file.name).Write();
        case SourceKind::Page:
        case SourceKind::Project:
            break;
    }
    throw KivoError(file.name, "is not a text form; use disasm to read it");
}

void Check(const SourceFile& file) {
    switch (file.kind) {
        case SourceKind::Page:
        case SourceKind::Project:
            (void)Disassemble(file);
            return;
        case SourceKind::PageText:
        case SourceKind::ProjectText:
            (void)Assemble(file);
            return;
    }
}

}  // namespace kivo::script_text
