// kivo-gal: looks into GAL images and converts them to and from PNG (BMP, TGA and JPEG are
// accepted wherever PNG is read).

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "imaging/gale_frame_list.h"
#include "imaging/png_codec.h"
#include "platform/host_files.h"

namespace kivo {
namespace {

constexpr const char* kUsage =
    "usage: kivo-gal info FILE.gal [--code C]\n"
    "       kivo-gal to-png FILE.gal [-o OUT.png] [--frame N] [--code C]\n"
    "       kivo-gal from-png IN.png [IN2.png ...] -o OUT.gal [--delay MS] [--code C]\n"
    "                [--encoding 0|1|2]\n"
    "\n"
    "  info      prints the version, size, depth, encoding and the frames with their layers\n"
    "            and delays\n"
    "  to-png    writes frame N (counted from 1, default 1) with its alpha as a PNG picture;\n"
    "            OUT defaults to FILE with the extension .png\n"
    "  from-png  writes a GAL image with one frame per PNG, BMP, TGA or JPEG picture, in the\n"
    "            order given; each picture's alpha channel becomes its frame's mask\n"
    "\n"
    "  --code C      the project's identification code: keyed files need it to be read, and\n"
    "                a non-zero code writes a keyed (always uncompressed) file\n"
    "  --encoding E  0 zlib (default), 1 uncompressed, 2 JPEG colours with zlib masks\n"
    "  --delay MS    how long each frame shows, in milliseconds (default 100)\n"
    "  --help        this text\n"
    "  --version     the version\n";

struct Options {
    std::string command;
    std::vector<std::string> files;
    std::optional<std::string> output;
    int32_t frame = 1;
    int32_t code = 0;
    int encoding = 0;
    std::optional<int32_t> delay;
};

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

int32_t ParseNumber(std::string_view option, std::string_view text) {
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        throw UsageError(std::string(option) + " needs a number, not \"" + std::string(text) +
                         "\"");
    }
    return value;
}

Options ParseArguments(int argc, char** argv) {
    Options options;
    std::vector<std::string_view> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        auto value = [&]() -> std::string_view {
            if (i + 1 >= args.size()) throw UsageError(std::string(arg) + " needs a value");
            return args[++i];
        };
        if (arg == "-o" || arg == "--output") {
            options.output = std::string(value());
        } else if (arg == "--frame") {
            options.frame = ParseNumber(arg, value());
        } else if (arg == "--code") {
            options.code = ParseNumber(arg, value());
        } else if (arg == "--delay") {
            options.delay = ParseNumber(arg, value());
            if (*options.delay < 0) throw UsageError("--delay is 0 or more milliseconds");
        } else if (arg == "--encoding") {
            options.encoding = ParseNumber(arg, value());
            if (options.encoding < 0 || options.encoding > 2) {
                throw UsageError("--encoding is 0, 1 or 2");
            }
        } else if (arg.starts_with("-") && arg.size() > 1) {
            throw UsageError("unknown option " + std::string(arg));
        } else if (options.command.empty()) {
            options.command = std::string(arg);
        } else {
            options.files.emplace_back(arg);
        }
    }
    if (options.files.empty()) throw UsageError("give an input file");
    if (options.files.size() > 1 && options.command != "from-png") {
        throw UsageError(options.command + " takes exactly one input file");
    }
    return options;
}

const char* EncodingName(GaleEncoding encoding) {
    switch (encoding) {
        case GaleEncoding::Zlib:
            return "zlib";
        case GaleEncoding::Raw:
            return "raw";
        case GaleEncoding::Jpeg:
            return "jpeg";
    }
    return "?";
}

void Info(const Options& options) {
    const std::filesystem::path path = options.files[0];
    TGaleFrameList list(options.code);
    list.LoadFromBytes(host::ReadFileBytes(path), path.string());
    std::printf("version: %d\n", list.Version);
    if (!list.Frames.empty()) {
        const TDIBSurface& first = list[0].Bitmap;
        std::printf("size: %d x %d\n", first.Width(), first.Height());
        std::printf("depth: %d\n", first.BitCount());
    }
    std::printf("encoding: %s\n", EncodingName(list.Encoding));
    std::printf("keyed: %s\n", list.Keyed ? "yes" : "no");
    if (list.BlockWidth > 0 && list.BlockHeight > 0) {
        std::printf("blocks: %d x %d\n", list.BlockWidth, list.BlockHeight);
    }
    std::printf("background: 0x%06X\n", list.BackgroundColor);
    std::printf("frames: %zu\n", list.Count());
    for (size_t i = 0; i < list.Count(); ++i) {
        const TGaleFrame& frame = list[i];
        std::printf("  %zu: %d x %d, %d bits, %d layer%s, delay %d, key %d%s\n", i + 1,
                    frame.Bitmap.Width(), frame.Bitmap.Height(), frame.Bitmap.BitCount(),
                    frame.LayerCount, frame.LayerCount == 1 ? "" : "s", frame.Delay,
                    frame.TransparentValue, frame.Bitmap.HasMask() ? ", mask" : "");
    }
}

void ToPng(const Options& options) {
    const std::filesystem::path path = options.files[0];
    TGaleFrameList list(options.code);
    list.LoadFromBytes(host::ReadFileBytes(path), path.string());
    if (options.frame < 1 || static_cast<size_t>(options.frame) > list.Count()) {
        throw KivoError(path.string(), "there is no frame " + std::to_string(options.frame) +
                                           " (the file has " + std::to_string(list.Count()) + ")");
    }
    TGaleFrame& frame = list[static_cast<size_t>(options.frame - 1)];
    // A colour key becomes transparency in the picture.
    if (frame.TransparentValue >= 0) frame.MakeMask();
    std::filesystem::path output = options.output
                                       ? std::filesystem::path(*options.output)
                                       : std::filesystem::path(path).replace_extension(".png");
    host::WriteFileBytes(output, EncodePng(frame.Bitmap));
}

// Reads one picture as a frame; every frame must have the first one's size, since the
// player shows all frames of an image in the same place.
std::unique_ptr<TGaleFrame> ReadFramePicture(const std::filesystem::path& path,
                                             const TGaleFrame* first) {
    TGaleFrameList picture;
    picture.LoadPictureFile(path);
    if (picture.Frames.empty()) {
        throw KivoError(path.string(), "not a PNG, BMP, TGA or JPEG picture");
    }
    std::unique_ptr<TGaleFrame> frame = std::move(picture.Frames.front());
    if (first && (frame->Bitmap.Width() != first->Bitmap.Width() ||
                  frame->Bitmap.Height() != first->Bitmap.Height())) {
        throw KivoError(path.string(), "the picture is " + std::to_string(frame->Bitmap.Width()) +
                                           " x " + std::to_string(frame->Bitmap.Height()) +
                                           ", the first frame " +
                                           std::to_string(first->Bitmap.Width()) + " x " +
                                           std::to_string(first->Bitmap.Height()));
    }
    return frame;
}

void FromPng(const Options& options) {
    if (!options.output) throw UsageError("from-png needs -o OUT.gal");
    TGaleFrameList list(options.code);
    for (const std::string& file : options.files) {
        std::unique_ptr<TGaleFrame> frame =
            ReadFramePicture(file, list.Frames.empty() ? nullptr : list.Frames.front().get());
        if (options.delay) frame->Delay = *options.delay;
        list.Frames.push_back(std::move(frame));
    }
    const auto encoding = static_cast<GaleEncoding>(options.encoding);
    if (options.code != 0 && encoding != GaleEncoding::Raw) {
        std::fprintf(stderr, "kivo-gal: keyed files are stored uncompressed\n");
    }
    host::WriteFileBytes(*options.output, list.SaveToBytes(encoding));
}

int Run(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("kivo-gal %s\n", KIVO_VERSION);
            return 0;
        }
    }
    try {
        const Options options = ParseArguments(argc, argv);
        if (options.command == "info") {
            Info(options);
        } else if (options.command == "to-png") {
            ToPng(options);
        } else if (options.command == "from-png") {
            FromPng(options);
        } else {
            throw UsageError("unknown command \"" + options.command + "\"");
        }
    } catch (const UsageError& e) {
        std::fprintf(stderr, "kivo-gal: %s\n%s", e.what(), kUsage);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kivo-gal: %s\n", e.what());
        return 1;
    }
    return 0;
}

}  // namespace
}  // namespace kivo

int main(int argc, char** argv) {
    return kivo::Run(argc, argv);
}
