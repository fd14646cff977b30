// Reads arbitrary bytes as a saved game variable list (the first byte picks the save version)
// or as a status variable list. Damaged input must raise KivoError and leave the table as it
// was; a list that loads must save to a list that loads again.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/byte_io.h"
#include "base/error.h"
#include "script/param_collection.h"

namespace {

void Fill(kivo::TParamCollection& vars) {
    vars.Create("before", kivo::PT_STR).Value().SetString("kept");
    vars.Declare("status", kivo::PT_INT, kivo::kScopeStatus).variable->Value().SetInteger(3);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool statusList = data[0] == 0xff;
    const int32_t version = 100 + data[0] % 40;
    kivo::TParamCollection vars;
    Fill(vars);
    const int32_t countBefore = vars.Count();
    kivo::ByteReader reader(std::span(data + 1, size - 1), "fuzz.dat");
    try {
        if (statusList) {
            vars.LoadStatusVariables(reader);
        } else {
            vars.LoadGameVariables(reader, version);
        }
    } catch (const kivo::KivoError&) {
        // Nothing may have changed.
        if (vars.Count() != countBefore || vars.Find("before")->Value().AsString() != "kept") {
            std::abort();
        }
        return 0;
    }
    // Reading every value must be safe, references included.
    for (int32_t i = 0; i < vars.Count(); ++i) {
        kivo::TCustomParam& value = vars.At(i).Value();
        for (int32_t e = 0; e < value.ElementCount() && e < 4; ++e) {
            try {
                (void)value.StringAt(e);
            } catch (const kivo::KivoError&) {
            }
        }
    }
    kivo::ByteWriter writer;
    if (statusList) {
        vars.SaveStatusVariables(writer);
    } else {
        vars.SaveGameVariables(writer, version);
    }
    kivo::TParamCollection again;
    Fill(again);
    kivo::ByteReader second(writer.Bytes(), "fuzz.dat");
    if (statusList) {
        again.LoadStatusVariables(second);
    } else {
        again.LoadGameVariables(second, version);
    }
    return 0;
}
