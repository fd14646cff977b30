// Feeds arbitrary text to the readers of the page and project text forms. Bad text must end in
// a KivoError, never a crash; text that reads must build a file whose text reads back the same.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/error.h"
#include "script/page_file.h"
#include "script/project_file.h"
#include "tools/script/text/page_text.h"
#include "tools/script/text/project_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        kivo::PageFile page = kivo::script_text::ReadPageText(text, "fuzz.kss");
        std::vector<uint8_t> bytes = page.Write("fuzz.ksb");
        std::string canonical =
            kivo::script_text::WritePageText(kivo::PageFile::Read(bytes, "fuzz.ksb"), "fuzz.ksb");
        if (kivo::script_text::ReadPageText(canonical, "fuzz.kss").Write("fuzz.ksb") != bytes) {
            std::abort();
        }
    } catch (const kivo::KivoError&) {
    }
    try {
        kivo::ProjectFile project = kivo::script_text::ReadProjectText(text, "fuzz.kps");
        std::vector<uint8_t> bytes = project.Write();
        std::string canonical =
            kivo::script_text::WriteProjectText(kivo::ProjectFile::Read(bytes, "fuzz.kpb"));
        if (kivo::script_text::ReadProjectText(canonical, "fuzz.kps").Write() != bytes) {
            std::abort();
        }
    } catch (const kivo::KivoError&) {
    }
    return 0;
}
