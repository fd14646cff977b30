// Writer of films, field by field in the layout of the film's version.

#include "support/film_writer.h"

#include <bit>
#include <cstdio>

#include "base/byte_io.h"

namespace kivo::test {

namespace {

class Writer {
  public:
    explicit Writer(int32_t version) : version_(version) {}

    void Int(int32_t v) { out_.WriteI32(v); }
    void Byte(uint8_t v) { out_.WriteU8(v); }
    void Float(double v) { out_.WriteU64(std::bit_cast<uint64_t>(v)); }
    void String(const std::string& s) { out_.WriteCountedString(s); }
    [[nodiscard]] bool Since(int32_t version) const { return version_ >= version; }
    ByteWriter& Out() { return out_; }

    void Base(const FilmBase& b) {
        Int(b.parent);
        Int(b.length);
        Int(b.reserved);
        Int(b.start);
        Int(b.cycle);
        Int(b.priority);
        Byte(b.flipH);
        Byte(b.flipV);
        Byte(b.otherSide);
    }
    void Move(const FilmMove& m) {
        Int(m.sx);
        Int(m.sy);
        Int(m.ex);
        Int(m.ey);
        Byte(m.modeX);
        Byte(m.modeY);
    }
    void Clip(const FilmClip& c) {
        for (const int32_t v : {c.sl, c.st, c.sw, c.sh, c.el, c.et, c.ew, c.eh})
            Int(v);
        Byte(c.modeX);
        Byte(c.modeY);
    }
    void ImageBlock(const FilmImageBlock& b) {
        Int(b.anchorX);
        Int(b.anchorY);
        Move(b.move);
        Int(b.startAngle);
        Int(b.endAngle);
        Float(b.startZoomX);
        Float(b.endZoomX);
        Byte(b.zoomXMode);
        Int(b.startAlpha);
        Int(b.endAlpha);
        Byte(b.angleMode);
        if (Since(101)) Clip(b.clip);
        if (Since(105)) {
            Float(b.startZoomY);
            Float(b.endZoomY);
            Byte(b.zoomYMode);
        }
    }

    void Track(const FilmImageTrack& t) {
        Base(t.base);
        ImageBlock(t.block);
        String(t.file);
    }
    void Track(const FilmTileTrack& t) {
        Base(t.base);
        ImageBlock(t.block);
        String(t.file);
        for (const int32_t v : {t.startWidth, t.startHeight, t.endWidth, t.endHeight,
                                t.startScrollX, t.startScrollY, t.endScrollX, t.endScrollY})
            Int(v);
        Byte(t.scrollXMode);
        Byte(t.scrollYMode);
        Int(t.spacingX);
        Int(t.spacingY);
        if (Since(101)) Clip(t.clip);
    }
    void Track(const FilmLabelTrack& t) {
        Base(t.base);
        ImageBlock(t.block);
        String(t.text);
        Byte(t.antiAlias);
        String(t.fontName);
        Int(t.fontHeight);
        Int(Since(103) ? t.lineSpacing : 0);
        Byte(t.fontStyle);
        Int(t.fontColor);
        if (Since(103)) Byte(t.align);
    }
    void Track(const FilmBoxTrack& t) {
        Base(t.base);
        Move(t.move);
        for (const int32_t v : {t.startAlpha, t.endAlpha, t.startWidth, t.startHeight, t.endWidth,
                                t.endHeight, t.startColor, t.endColor, t.startBorderWidth,
                                t.endBorderWidth, t.startBorderColor, t.endBorderColor})
            Int(v);
        if (Since(101)) Clip(t.clip);
    }
    void Track(const FilmFireTrack& t) {
        Base(t.base);
        Move(t.move);
        for (const int32_t v : {t.startWidth, t.startHeight, t.endWidth, t.endHeight})
            Int(v);
        Clip(t.clip);
        for (const double v : {t.startZoomX, t.startZoomY, t.endZoomX, t.endZoomY})
            Float(v);
        Byte(t.zoomXMode);
        Byte(t.zoomYMode);
        Int(t.power);
    }
    void Track(const FilmParticleTrack& t) {
        Base(t.base);
        String(t.file);
        if (t.file.empty()) return;
        Byte(t.mode);
        Int(t.index);
        for (const int32_t v : {t.intervalBaseStart, t.intervalBaseEnd, t.intervalRangeStart,
                                t.intervalRangeEnd, t.xBaseStart, t.yBaseStart, t.xBaseEnd,
                                t.yBaseEnd, t.xRangeStart, t.yRangeStart, t.xRangeEnd, t.yRangeEnd})
            Int(v);
        Byte(t.xBaseMode);
        Byte(t.yBaseMode);
        for (const double v :
             {t.param0Start, t.param1Start, t.param2Start, t.param0End, t.param1End, t.param2End})
            Float(v);
        Move(t.move);
        for (const int32_t v : {t.startWidth, t.startHeight, t.endWidth, t.endHeight})
            Int(v);
        Clip(t.clip);
        Int(t.startAlpha);
        Int(t.endAlpha);
    }
    void Track(const FilmWipeTrack& t) {
        Base(t.base);
        Byte(t.kind);
        if (!Since(101)) return;
        String(t.ruleFile);
        Int(t.param0);
        Int(t.param1);
        Byte(t.flag);
    }
    void Track(const FilmSoundTrack& t) {
        Base(t.base);
        String(t.file);
        for (const int32_t v : {t.startVolume, t.endVolume, t.startBalance, t.endBalance})
            Int(v);
        Byte(t.volumeMode);
        Byte(t.balanceMode);
    }
    void Track(const FilmUnknownTrack& t) { out_.WriteBytes(t.bytes); }

  private:
    int32_t version_;
    ByteWriter out_;
};

uint8_t KindOf(const FilmTrack& track) {
    if (const auto* unknown = std::get_if<FilmUnknownTrack>(&track)) return unknown->kind;
    // The variant lists the known kinds in the order of their kind bytes.
    return static_cast<uint8_t>(track.index());
}

}  // namespace

std::vector<uint8_t> WriteFilm(const FilmFile& film) {
    Writer w(film.version);
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03d", film.version % 1000);
    const std::string signature = film.signature + digits;
    w.Out().WriteBytes({reinterpret_cast<const uint8_t*>(signature.data()), signature.size()});
    w.Int(film.width);
    w.Int(film.height);
    w.Int(film.background);
    if (w.Since(102)) w.Byte(film.relative);
    if (w.Since(104)) {
        w.Int(film.originX);
        w.Int(film.originY);
    }
    if (w.Since(106)) w.Int(film.loopStart);
    w.Int(film.trackCount.value_or(static_cast<int32_t>(film.tracks.size())));
    for (const FilmTrack& track : film.tracks) {
        const bool known = !std::holds_alternative<FilmUnknownTrack>(track);
        w.Byte(static_cast<uint8_t>(KindOf(track) | (known ? film.kindFlags : 0)));
        std::visit([&](const auto& t) { w.Track(t); }, track);
    }
    return w.Out().Take();
}

}  // namespace kivo::test
