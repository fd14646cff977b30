// kivo-script: turns scenario pages and project files into their text forms and back.
//
//   kivo-script disasm FILE.ksb|kivo.kpb [-o OUT]
//   kivo-script asm FILE.kss|FILE.kps -o OUT
//   kivo-script check FILE...
//
// Nothing is written when the input has an error; outputs replace their target only once
// they are complete.

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <span>
#include <string>
#include <vector>

#include "base/error.h"
#include "platform/host_files.h"
#include "tools/script/text/script_files.h"

namespace kivo {
namespace {

constexpr std::string_view kUsage =
    "usage: kivo-script disasm FILE.ksb|kivo.kpb [-o OUT]\n"
    "       kivo-script asm FILE.kss|FILE.kps -o OUT\n"
    "       kivo-script check FILE...\n"
    "\n"
    "disasm  writes the text form of a scenario page (.kss) or project file (.kps),\n"
    "        to OUT or to standard output\n"
    "asm     builds the page or project file from its text form\n"
    "check   reads text forms (or page and project files) and reports their errors\n"
    "\n"
    "FILE may name an entry of an archive as ARCHIVE:NAME.\n"
    "--help shows this text, --version the version.\n";

std::span<const uint8_t> AsBytes(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

struct Arguments {
    std::string command;
    std::vector<std::string> inputs;
    std::string output;
};

Arguments ParseArguments(int argc, char** argv) {
    Arguments args;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-o") {
            if (i + 1 >= argc) throw KivoError("-o needs a file name");
            args.output = argv[++i];
        } else if (args.command.empty()) {
            args.command = arg;
        } else {
            args.inputs.push_back(arg);
        }
    }
    return args;
}

int Run(int argc, char** argv) {
    Arguments args = ParseArguments(argc, argv);
    if (args.command == "--help" || args.command == "-h" || args.command == "help") {
        std::cout << kUsage;
        return 0;
    }
    if (args.command == "--version") {
        std::cout << "kivo-script " << KIVO_VERSION << '\n';
        return 0;
    }
    if (args.command == "disasm" && args.inputs.size() == 1) {
        script_text::SourceFile input =
            script_text::LoadSource(args.inputs[0], host::ReadFileBytes);
        std::string text = script_text::Disassemble(input);
        if (args.output.empty()) {
            std::cout << text;
        } else {
            host::WriteFileBytes(args.output, AsBytes(text));
        }
        return 0;
    }
    if (args.command == "asm" && args.inputs.size() == 1 && !args.output.empty()) {
        script_text::SourceFile input =
            script_text::LoadSource(args.inputs[0], host::ReadFileBytes);
        host::WriteFileBytes(args.output, script_text::Assemble(input));
        return 0;
    }
    if (args.command == "check" && !args.inputs.empty() && args.output.empty()) {
        int failures = 0;
        for (const std::string& name : args.inputs) {
            try {
                script_text::Check(script_text::LoadSource(name, host::ReadFileBytes));
            } catch (const KivoError& error) {
                std::cerr << error.what() << '\n';
                ++failures;
            }
        }
        return failures == 0 ? 0 : 1;
    }
    std::cerr << kUsage;
    return 2;
}

}  // namespace
}  // namespace kivo

int main(int argc, char** argv) {
    try {
        return kivo::Run(argc, argv);
    } catch (const kivo::KivoError& error) {
        std::cerr << "kivo-script: " << error.what() << '\n';
        return 1;
    } catch (const std::exception& error) {
        std::cerr << "kivo-script: " << error.what() << '\n';
        return 1;
    }
}
