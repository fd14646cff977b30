#include "bitmap_fixtures.h"

namespace kivo::test {

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& more) {
    out.insert(out.end(), more.begin(), more.end());
}

}  // namespace

std::vector<uint8_t> WriteDib(const BmpSpec& s) {
    std::vector<uint8_t> out;
    Put32(out, s.headerSize);  // info header size
    if (s.headerSize == 12) {
        Put16(out, static_cast<uint32_t>(s.width));   // width
        Put16(out, static_cast<uint32_t>(s.height));  // height
        Put16(out, 1);                                // planes
        Put16(out, s.bits);                           // bit count
    } else {
        Put32(out, static_cast<uint32_t>(s.width));          // width
        Put32(out, static_cast<uint32_t>(s.height));         // height, negative for top-down
        Put16(out, 1);                                       // planes
        Put16(out, s.bits);                                  // bit count
        Put32(out, s.compression);                           // compression
        Put32(out, static_cast<uint32_t>(s.pixels.size()));  // image size
        Put32(out, 2835);                                    // horizontal resolution
        Put32(out, 2835);                                    // vertical resolution
        Put32(out, s.colorsUsed);                            // colours used
        Put32(out, 0);                                       // important colours
        // Larger headers carry the masks in fields 40 to 56, then colour space data.
        for (uint32_t m : s.masks)
            Put32(out, m);
        while (out.size() < s.headerSize)
            out.push_back(0);
    }
    Append(out, s.palette);
    Append(out, s.pixels);
    return out;
}

std::vector<uint8_t> WriteBmp(const BmpSpec& s) {
    std::vector<uint8_t> dib = WriteDib(s);
    const size_t before = dib.size() - s.pixels.size();  // header, masks, palette
    std::vector<uint8_t> out;
    out.push_back('B');  // signature
    out.push_back('M');
    Put32(out, static_cast<uint32_t>(14 + dib.size()));  // file size
    Put32(out, 0);                                       // reserved
    Put32(out, static_cast<uint32_t>(14 + before));      // offset of the pixels
    Append(out, dib);
    return out;
}

std::vector<uint8_t> WriteTga(const TgaSpec& s) {
    std::vector<uint8_t> out;
    out.push_back(static_cast<uint8_t>(s.id.size()));  // id length
    out.push_back(s.mapType);                          // colour map type
    out.push_back(s.type);                             // image type
    Put16(out, s.mapFirst);                            // first map entry
    Put16(out, s.mapLength);                           // map length
    out.push_back(s.mapBits);                          // map entry size
    Put16(out, 0);                                     // x origin
    Put16(out, 0);                                     // y origin
    Put16(out, s.width);                               // width
    Put16(out, s.height);                              // height
    out.push_back(s.depth);                            // pixel depth
    out.push_back(s.descriptor);                       // descriptor
    Append(out, s.id);
    Append(out, s.map);
    Append(out, s.pixels);
    if (s.footer) {
        const auto extension = static_cast<uint32_t>(out.size());
        std::vector<uint8_t> area(495, 0);
        area[0] = 495 & 0xFF;  // extension size
        area[1] = 495 >> 8;
        for (int i = 0; i < 4; ++i)
            area[470 + static_cast<size_t>(i)] = static_cast<uint8_t>(s.keyColor >> (8 * i));
        Append(out, area);
        Put32(out, extension);  // extension area offset
        Put32(out, 0);          // developer directory offset
        const char signature[] = "TRUEVISION-XFILE.";
        out.insert(out.end(), signature, signature + 18);  // with its terminating zero
    }
    return out;
}

std::vector<uint8_t> WriteIco(uint16_t type, const std::vector<IcoImage>& images) {
    std::vector<uint8_t> out;
    Put16(out, 0);     // reserved
    Put16(out, type);  // 1 icon, 2 cursor
    Put16(out, static_cast<uint32_t>(images.size()));
    auto offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (const IcoImage& image : images) {
        out.push_back(image.width);   // width, 0 = 256
        out.push_back(image.height);  // height, 0 = 256
        out.push_back(0);             // colour count
        out.push_back(0);             // reserved
        Put16(out, image.field4);     // planes / hotspot x
        Put16(out, image.field6);     // bit count / hotspot y
        Put32(out, image.byteCount.value_or(static_cast<uint32_t>(image.data.size())));  // bytes
        Put32(out, offset);  // offset of the image
        offset += static_cast<uint32_t>(image.data.size());
    }
    for (const IcoImage& image : images)
        Append(out, image.data);
    return out;
}

}  // namespace kivo::test
