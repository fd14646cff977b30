#include "gal_builder.h"

#include <cstdio>

namespace kivo::test {

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutString(std::vector<uint8_t>& out, const std::string& s) {
    Put32(out, static_cast<uint32_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
}

void PutBlock(std::vector<uint8_t>& out, const std::vector<uint8_t>& data) {
    Put32(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

}  // namespace

std::vector<uint8_t> WriteGal(const GalFile& file) {
    std::vector<uint8_t> out;
    const int v = file.version;
    if (file.magic) {
        char magic[8];
        std::snprintf(magic, sizeof magic, "Gale%03d", v);
        out.insert(out.end(), magic, magic + 7);
    }
    const auto frameCount = static_cast<uint32_t>(file.frames.size());
    if (!file.magic || v < 103) {
        Put32(out, frameCount);
        out.push_back(0);  // ignored byte
        if (file.magic && v == 102) Put32(out, file.background);
    } else {
        const GalFrame* first = file.frames.empty() ? nullptr : &file.frames[0];
        Put32(out, static_cast<uint32_t>(file.headerSize));
        const size_t start = out.size();
        Put32(out, static_cast<uint32_t>(v));                          // 0 version
        Put32(out, first ? static_cast<uint32_t>(first->width) : 0);   // 4 width
        Put32(out, first ? static_cast<uint32_t>(first->height) : 0);  // 8 height
        Put32(out, first ? static_cast<uint32_t>(first->bits) : 0);    // 12 bit count
        Put32(out, frameCount);                                        // 16 frames
        out.push_back(1);                                              // 20
        out.push_back(file.keyed);                                     // 21 keyed
        out.push_back(file.encoding);                                  // 22 encoding
        out.push_back(0);                                              // 23
        Put32(out, file.background);                                   // 24 background
        Put32(out, static_cast<uint32_t>(file.blockWidth));            // 28
        Put32(out, static_cast<uint32_t>(file.blockHeight));           // 32
        out.push_back(file.firstLayerOpaque);                          // 36
        out.push_back(file.jpegQuality);                               // 37
        out.push_back(0);                                              // 38
        out.push_back(0);                                              // 39
        while (out.size() - start < static_cast<size_t>(file.headerSize))
            out.push_back(0);
    }
    for (const GalFrame& frame : file.frames) {
        PutString(out, frame.name);
        Put32(out, static_cast<uint32_t>(frame.transparentValue));
        Put32(out, static_cast<uint32_t>(frame.delay));
        out.push_back(2);  // skipped byte
        Put32(out, 0);     // skipped int
        Put32(out, static_cast<uint32_t>(frame.layers.size()));
        Put32(out, static_cast<uint32_t>(frame.width));
        Put32(out, static_cast<uint32_t>(frame.height));
        Put32(out, static_cast<uint32_t>(frame.bits));
        if (frame.bits <= 8) {
            std::vector<uint8_t> table = frame.palette;
            table.resize(size_t{4} << frame.bits, 0);
            out.insert(out.end(), table.begin(), table.end());
        }
        for (const GalLayer& layer : frame.layers) {
            Put32(out, 0);  // two skipped ints
            Put32(out, 0);
            out.push_back(layer.visible);
            Put32(out, static_cast<uint32_t>(layer.transparentValue));
            Put32(out, static_cast<uint32_t>(layer.opacity));
            if (v >= 101) out.push_back(layer.alphaFlag);
            PutString(out, layer.name);
            PutBlock(out, layer.colour);
            if (v >= 100) PutBlock(out, layer.mask);
        }
        if (v >= 104) {
            Put32(out, static_cast<uint32_t>(frame.updateRects.size()));
            for (const auto& r : frame.updateRects) {
                for (int32_t c : r)
                    Put32(out, static_cast<uint32_t>(c));
            }
            Put32(out, static_cast<uint32_t>(frame.extraRects.size()));
            for (const auto& r : frame.extraRects) {
                for (int32_t c : r)
                    Put32(out, static_cast<uint32_t>(c));
            }
        }
    }
    return out;
}

std::vector<uint8_t> PaddedRows(int width, int height, int bits,
                                const std::vector<uint32_t>& pixels) {
    const int storage = bits == 15 ? 16 : bits;
    const size_t pitch = (static_cast<size_t>(width) * static_cast<size_t>(storage) + 31) / 32 * 4;
    std::vector<uint8_t> out(pitch * static_cast<size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = &out[static_cast<size_t>(y) * pitch];
        for (int x = 0; x < width; ++x) {
            const uint32_t p = pixels[static_cast<size_t>(y * width + x)];
            switch (storage) {
                case 1:
                    row[x / 8] = static_cast<uint8_t>(row[x / 8] | (p & 1) << (7 - x % 8));
                    break;
                case 4:
                    row[x / 2] = static_cast<uint8_t>(row[x / 2] | (p & 15) << ((x & 1) ? 0 : 4));
                    break;
                default:
                    for (int i = 0; i < storage / 8; ++i) {
                        row[static_cast<size_t>(x * (storage / 8) + i)] =
                            static_cast<uint8_t>(p >> (8 * i));
                    }
                    break;
            }
        }
    }
    return out;
}

GalFrame RgbFrame(int width, int height, const std::vector<uint32_t>& pixels, int32_t delay,
                  int32_t transparentValue) {
    GalFrame frame;
    frame.width = width;
    frame.height = height;
    frame.bits = 24;
    frame.delay = delay;
    frame.transparentValue = transparentValue;
    GalLayer layer;
    layer.colour = PaddedRows(width, height, 24, pixels);
    frame.layers.push_back(std::move(layer));
    return frame;
}

}  // namespace kivo::test
