// The tracks of a film: their file records and how each kind applies a frame.

#include "imaging/custom_frame_list.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>

#include "base/sjis.h"

namespace kivo {

namespace {

// Version gates of the film file.
constexpr int32_t kLastDoubledTimeVersion = 106;   // frames of 1/30 s up to here
constexpr int32_t kFirstClipVersion = 101;         // clip blocks
constexpr int32_t kFirstLineSpacingVersion = 103;  // label line spacing
constexpr int32_t kFirstAlignVersion = 103;        // label alignment
constexpr int32_t kFirstZoomYVersion = 105;        // zoom y of image-like tracks
constexpr int32_t kLastCentibelVersion = 107;      // sound volumes in hundredths of decibels

int32_t ClampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

double ReadFloat64(ByteReader& reader) {
    return std::bit_cast<double>(reader.ReadU64());
}

void ReadMove(ByteReader& reader, TFilmMove& move) {
    move.X.Start = reader.ReadI32();
    move.Y.Start = reader.ReadI32();
    move.X.End = reader.ReadI32();
    move.Y.End = reader.ReadI32();
    move.ModeX = reader.ReadU8();
    move.ModeY = reader.ReadU8();
}

void ReadClip(ByteReader& reader, TFilmClip& clip) {
    clip.Left.Start = reader.ReadI32();
    clip.Top.Start = reader.ReadI32();
    clip.Width.Start = reader.ReadI32();
    clip.Height.Start = reader.ReadI32();
    clip.Left.End = reader.ReadI32();
    clip.Top.End = reader.ReadI32();
    clip.Width.End = reader.ReadI32();
    clip.Height.End = reader.ReadI32();
    clip.ModeX = reader.ReadU8();
    clip.ModeY = reader.ReadU8();
}

void ReadZoomPair(ByteReader& reader, TFilmPair<int32_t>& zoom) {
    zoom.Start = FilmZoomToFixed(ReadFloat64(reader));
    zoom.End = FilmZoomToFixed(ReadFloat64(reader));
}

template <typename T>
void Inherit(TFilmPair<T>& own, const TFilmPair<T>& parent) {
    own.Start = parent.End;
}

void Inherit(TFilmMove& own, const TFilmMove& parent) {
    Inherit(own.X, parent.X);
    Inherit(own.Y, parent.Y);
}

void Inherit(TFilmClip& own, const TFilmClip& parent) {
    Inherit(own.Left, parent.Left);
    Inherit(own.Top, parent.Top);
    Inherit(own.Width, parent.Width);
    Inherit(own.Height, parent.Height);
}

int32_t TweenX(const TFilmMove& move, TFilmSpan span) {
    return TweenInt(move.X.Start, move.X.End, move.ModeX, span);
}
int32_t TweenY(const TFilmMove& move, TFilmSpan span) {
    return TweenInt(move.Y.Start, move.Y.End, move.ModeY, span);
}
int32_t TweenLinear(const TFilmPair<int32_t>& pair, TFilmSpan span) {
    return TweenInt(pair.Start, pair.End, 0, span);
}
int32_t TweenPair(const TFilmPair<int32_t>& pair, uint8_t mode, TFilmSpan span) {
    return TweenInt(pair.Start, pair.End, mode, span);
}

bool StartsWithClimb(std::string_view name) {
    return name.size() >= 3 && name[0] == '.' && name[1] == '.' &&
           sjis::IsDelimiterByte(static_cast<uint8_t>(name[2]));
}

bool IsHostAbsolute(std::string_view name) {
    if (name.empty()) return false;
    if (sjis::IsDelimiterByte(static_cast<uint8_t>(name[0]))) return true;
    const auto first = static_cast<unsigned char>(name[0]);
    return name.size() >= 2 && name[1] == ':' &&
           ((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z'));
}

// The folders of a virtual name, upper-cased, without the name itself.
std::vector<std::string> FoldersOf(std::string_view filmName) {
    std::vector<std::string> folders;
    const size_t last = sjis::FindLastDelimiter(filmName);
    if (last == std::string_view::npos) return folders;
    std::string current;
    sjis::ForEachChar(filmName.substr(0, last), [&](size_t pos, size_t length) {
        const std::string_view ch = filmName.substr(pos, length);
        if (length == 1 && sjis::IsDelimiterByte(static_cast<uint8_t>(ch[0]))) {
            if (!current.empty()) folders.push_back(sjis::ToUpperAscii(current));
            current.clear();
        } else {
            current.append(ch);
        }
    });
    if (!current.empty()) folders.push_back(sjis::ToUpperAscii(current));
    return folders;
}

}  // namespace

template <typename T>
void TFilmPair<T>::Read(ByteReader& reader) {
    if constexpr (std::is_same_v<T, double>) {
        Start = ReadFloat64(reader);
        End = ReadFloat64(reader);
    } else {
        Start = reader.ReadI32();
        End = reader.ReadI32();
    }
}

std::string ResolveFilmName(std::string_view filmName, std::string_view name, bool allowClimb) {
    if (name.empty() || IsHostAbsolute(name)) return {};
    std::vector<std::string> folders = FoldersOf(filmName);
    if (allowClimb) {
        while (StartsWithClimb(name)) {
            if (folders.empty()) return {};
            folders.pop_back();
            name.remove_prefix(3);
        }
    }
    std::string resolved;
    for (const std::string& folder : folders) {
        resolved += folder;
        resolved += '\\';
    }
    resolved += name;
    return resolved;
}

// ---- TCustomFrameList ----

std::unique_ptr<TCustomFrameList> TCustomFrameList::Create(uint8_t kind) {
    switch (static_cast<TFilmTrackKind>(kind & 0x7F)) {
        case TFilmTrackKind::Image:
            return std::make_unique<TImageFrameList>();
        case TFilmTrackKind::Label:
            return std::make_unique<TLabelFrameList>();
        case TFilmTrackKind::Box:
            return std::make_unique<TBoxFrameList>();
        case TFilmTrackKind::Wipe:
            return std::make_unique<TWipeFrameList>();
        case TFilmTrackKind::Sound:
            return std::make_unique<TSoundFrameList>();
        case TFilmTrackKind::Tile:
            return std::make_unique<TTileFrameList>();
        case TFilmTrackKind::Particle:
            return std::make_unique<TParticleFrameList>();
        case TFilmTrackKind::Fire:
            return std::make_unique<TFireFrameList>();
    }
    return nullptr;
}

void TCustomFrameList::Read(ByteReader& reader, const TFilmReadContext& context) {
    ParentIndex = reader.ReadI32();
    Length = reader.ReadI32();
    Reserved = reader.ReadI32();
    Start = reader.ReadI32();
    Cycle = reader.ReadI32();
    Priority = reader.ReadI32();
    FlipH = reader.ReadBool();
    FlipV = reader.ReadBool();
    OtherSide = reader.ReadBool();
    if (context.Version <= kLastDoubledTimeVersion) {
        Length = ClampToInt32(int64_t{Length} * 2);
        Start = ClampToInt32(int64_t{Start} * 2);
        Cycle = ClampToInt32(int64_t{Cycle} * 2);
    }
    ReadData(reader, context);
}

void TCustomFrameList::Place(const TFilmPlayback& playback, TFilmObjectId object, int32_t x,
                             int32_t y) {
    if (playback.MotionMode) {
        playback.Stage->SetMotionPosition(object, ClampToInt32(int64_t{x} + playback.ShiftX),
                                          ClampToInt32(int64_t{y} + playback.ShiftY));
        return;
    }
    playback.Stage->SetProperty(object, PR_LEFT, x);
    playback.Stage->SetProperty(object, PR_TOP, y);
}

void TCustomFrameList::Order(const TFilmPlayback& playback, TFilmObjectId object) const {
    if (playback.MotionMode)
        playback.Stage->SetSubPriority(object, Priority);
    else
        playback.Stage->SetProperty(object, PR_PRIORITY, Priority);
}

void TCustomFrameList::SetClip(const TFilmPlayback& playback, TFilmObjectId object,
                               const TFilmClip& clip, TFilmSpan span) {
    int32_t width = TweenPair(clip.Width, clip.ModeX, span);
    int32_t height = TweenPair(clip.Height, clip.ModeY, span);
    int32_t left = TweenPair(clip.Left, clip.ModeX, span);
    int32_t top = TweenPair(clip.Top, clip.ModeY, span);
    if (width < 1 || height < 1) left = top = width = height = 0;
    TFilmStage& stage = *playback.Stage;
    stage.SetProperty(object, PR_CLIPLEFT, left);
    stage.SetProperty(object, PR_CLIPTOP, top);
    stage.SetProperty(object, PR_CLIPWIDTH, width);
    stage.SetProperty(object, PR_CLIPHEIGHT, height);
}

// ---- Image-like tracks ----

void TImageLikeFrameList::ReadImageBlock(ByteReader& reader, const TFilmReadContext& context) {
    AnchorX = reader.ReadI32();
    AnchorY = reader.ReadI32();
    ReadMove(reader, Position);
    Angle.Read(reader);
    ReadZoomPair(reader, ZoomX);
    ZoomXMode = reader.ReadU8();
    Alpha.Read(reader);
    AngleMode = reader.ReadU8();
    if (context.Version >= kFirstClipVersion) ReadClip(reader, Clip);
    if (context.Version >= kFirstZoomYVersion) {
        ReadZoomPair(reader, ZoomY);
        ZoomYMode = reader.ReadU8();
    } else {
        ZoomY = ZoomX;
        ZoomYMode = ZoomXMode;
    }
}

void TImageLikeFrameList::InheritStarts(const TCustomFrameList& parent) {
    const auto& p = static_cast<const TImageLikeFrameList&>(parent);
    Inherit(Position, p.Position);
    Inherit(Angle, p.Angle);
    Inherit(ZoomX, p.ZoomX);
    Inherit(ZoomY, p.ZoomY);
    Inherit(Alpha, p.Alpha);
    Inherit(Clip, p.Clip);
}

void TImageLikeFrameList::ApplyPlacement(const TFilmPlayback& playback, TFilmObjectId object,
                                         TFilmSpan span, int32_t frameOffsetX,
                                         int32_t frameOffsetY) const {
    TFilmStage& stage = *playback.Stage;
    Place(playback, object, TweenX(Position, span), TweenY(Position, span));
    stage.SetProperty(object, PR_OFFSETX, ClampToInt32(int64_t{AnchorX} - frameOffsetX));
    stage.SetProperty(object, PR_OFFSETY, ClampToInt32(int64_t{AnchorY} - frameOffsetY));
    stage.SetProperty(object, PR_ZOOMX, TweenPair(ZoomX, ZoomXMode, span));
    stage.SetProperty(object, PR_ZOOMY, TweenPair(ZoomY, ZoomYMode, span));
    stage.SetProperty(object, PR_ANGLE, TweenTurn(Angle.Start, Angle.End, AngleMode, span));
    stage.SetProperty(object, PR_ALPHA, TweenAlpha(Alpha.Start, Alpha.End, span));
    stage.SetProperty(object, PR_FLIPH, FlipH);
    stage.SetProperty(object, PR_FLIPV, FlipV);
    Order(playback, object);
    SetClip(playback, object, Clip, span);
    stage.SetProperty(object, PR_VISIBLE, 1);
}

// ---- Image tracks ----

void TImageFrameList::ReadData(ByteReader& reader, const TFilmReadContext& context) {
    ReadImageBlock(reader, context);
    ImageFile = ResolveFilmName(context.FilmName, reader.ReadCountedString());
}

void TImageFrameList::Prepare(TFilmPictureSource& pictures) {
    prepared_ = true;
    picture_ = ImageFile.empty() ? nullptr : pictures.Acquire(ImageFile);
    if (picture_ && picture_->Frames().empty()) picture_ = nullptr;
    durations_.clear();
    if (!picture_) return;
    int64_t cycle = 0;
    for (const TFilmPictureFrame& frame : picture_->Frames()) {
        const int32_t frames = std::max(1, FilmRound(frame.DelayMs * 60.0 / 1000.0));
        durations_.push_back(frames);
        cycle += frames;
    }
    Cycle = ClampToInt32(cycle);
    if (Length == 0) Length = Cycle;
}

void TImageFrameList::AppendImageNames(std::vector<std::string>& names) const {
    if (!ImageFile.empty()) names.push_back(ImageFile);
}

int32_t TImageFrameList::PictureFrameAt(int32_t frame) const {
    if (durations_.empty()) return 0;
    int64_t local = (int64_t{frame} - Start) % std::max(1, Cycle);
    if (local < 0) local += std::max(1, Cycle);
    for (size_t i = 0; i < durations_.size(); ++i) {
        if (local < durations_[i]) return static_cast<int32_t>(i);
        local -= durations_[i];
    }
    return static_cast<int32_t>(durations_.size() - 1);
}

void TImageFrameList::ApplyPicture(const TFilmPlayback& playback, int32_t frame,
                                   TFilmObjectId object) {
    int32_t offsetX = 0;
    int32_t offsetY = 0;
    if (picture_) {
        const int32_t index = PictureFrameAt(frame);
        const TFilmPictureFrame& shown = picture_->Frames()[static_cast<size_t>(index)];
        offsetX = shown.OffsetX;
        offsetY = shown.OffsetY;
        playback.Stage->SetPicture(object, *picture_, index);
    }
    ApplyPlacement(playback, object, SpanAt(frame), offsetX, offsetY);
}

void TImageFrameList::Apply(const TFilmPlayback& playback, int32_t frame, TFilmObjectId object) {
    ApplyPicture(playback, frame, object);
}

// ---- Tile tracks ----

void TTileFrameList::ReadData(ByteReader& reader, const TFilmReadContext& context) {
    TImageFrameList::ReadData(reader, context);
    Width.Start = reader.ReadI32();
    Height.Start = reader.ReadI32();
    Width.End = reader.ReadI32();
    Height.End = reader.ReadI32();
    ScrollX.Start = reader.ReadI32();
    ScrollY.Start = reader.ReadI32();
    ScrollX.End = reader.ReadI32();
    ScrollY.End = reader.ReadI32();
    ScrollXMode = reader.ReadU8();
    ScrollYMode = reader.ReadU8();
    SpacingX = reader.ReadI32();
    SpacingY = reader.ReadI32();
    // The tile's own clip block replaces the one of the image block.
    if (context.Version >= kFirstClipVersion) ReadClip(reader, Clip);
}

void TTileFrameList::InheritStarts(const TCustomFrameList& parent) {
    TImageLikeFrameList::InheritStarts(parent);
    const auto& p = static_cast<const TTileFrameList&>(parent);
    Inherit(Width, p.Width);
    Inherit(Height, p.Height);
    Inherit(ScrollX, p.ScrollX);
    Inherit(ScrollY, p.ScrollY);
}

void TTileFrameList::Apply(const TFilmPlayback& playback, int32_t frame, TFilmObjectId object) {
    ApplyPicture(playback, frame, object);
    const TFilmSpan span = SpanAt(frame);
    TFilmStage& stage = *playback.Stage;
    stage.SetProperty(object, PR_WIDTH, TweenPair(Width, Position.ModeX, span));
    stage.SetProperty(object, PR_HEIGHT, TweenPair(Height, Position.ModeY, span));
    stage.SetProperty(object, PR_SCROLLX, TweenPair(ScrollX, ScrollXMode, span));
    stage.SetProperty(object, PR_SCROLLY, TweenPair(ScrollY, ScrollYMode, span));
    stage.SetProperty(object, PR_DISTANCEX, SpacingX);
    stage.SetProperty(object, PR_DISTANCEY, SpacingY);
}

// ---- Label tracks ----

void TLabelFrameList::ReadData(ByteReader& reader, const TFilmReadContext& context) {
    ReadImageBlock(reader, context);
    Text = reader.ReadCountedString();
    AntiAlias = reader.ReadBool();
    FontName = reader.ReadCountedString();
    FontHeight = reader.ReadI32();
    if (context.Version >= kFirstLineSpacingVersion)
        LineSpacing = reader.ReadI32();
    else
        reader.Skip(4);
    FontStyle = reader.ReadU8();
    FontColor = reader.ReadI32();
    if (context.Version >= kFirstAlignVersion) HAlign = reader.ReadU8();
}

void TLabelFrameList::Apply(const TFilmPlayback& playback, int32_t frame, TFilmObjectId object) {
    TFilmStage& stage = *playback.Stage;
    stage.SetStringProperty(object, PR_TEXT, Text);
    stage.SetStringProperty(object, PR_FONTNAME, FontName);
    stage.SetProperty(object, PR_FONTHEIGHT, FontHeight);
    stage.SetProperty(object, PR_LINESPACE, LineSpacing);
    stage.SetProperty(object, PR_FONTCOLOR, FontColor);
    stage.SetProperty(object, PR_FONTSTYLE, FontStyle);
    stage.SetProperty(object, PR_ANTIALIAS, AntiAlias);
    stage.SetProperty(object, PR_HALIGN, HAlign);
    ApplyPlacement(playback, object, SpanAt(frame), 0, 0);
}

// ---- Box tracks ----

void TBoxFrameList::ReadData(ByteReader& reader, const TFilmReadContext& context) {
    ReadMove(reader, Position);
    Alpha.Read(reader);
    Width.Start = reader.ReadI32();
    Height.Start = reader.ReadI32();
    Width.End = reader.ReadI32();
    Height.End = reader.ReadI32();
    Color.Read(reader);
    BorderWidth.Read(reader);
    BorderColor.Read(reader);
    if (context.Version >= kFirstClipVersion) ReadClip(reader, Clip);
}

void TBoxFrameList::InheritStarts(const TCustomFrameList& parent) {
    const auto& p = static_cast<const TBoxFrameList&>(parent);
    Inherit(Position, p.Position);
    Inherit(Alpha, p.Alpha);
    Inherit(Width, p.Width);
    Inherit(Height, p.Height);
    Inherit(Color, p.Color);
    Inherit(BorderWidth, p.BorderWidth);
    Inherit(BorderColor, p.BorderColor);
    Inherit(Clip, p.Clip);
}

void TBoxFrameList::Apply(const TFilmPlayback& playback, int32_t frame, TFilmObjectId object) {
    const TFilmSpan span = SpanAt(frame);
    TFilmStage& stage = *playback.Stage;
    Place(playback, object, TweenX(Position, span), TweenY(Position, span));
    stage.SetProperty(object, PR_WIDTH, TweenPair(Width, Position.ModeX, span));
    stage.SetProperty(object, PR_HEIGHT, TweenPair(Height, Position.ModeY, span));
    stage.SetProperty(object, PR_ALPHA, TweenLinear(Alpha, span));
    stage.SetProperty(object, PR_COLOR, TweenColor(Color.Start, Color.End, span));
    stage.SetProperty(object, PR_BORDERWIDTH, TweenLinear(BorderWidth, span));
    stage.SetProperty(object, PR_BORDERCOLOR, TweenColor(BorderColor.Start, BorderColor.End, span));
    Order(playback, object);
    SetClip(playback, object, Clip, span);
    stage.SetProperty(object, PR_VISIBLE, 1);
}

// ---- Fire tracks ----

void TFireFrameList::ReadData(ByteReader& reader, const TFilmReadContext& /*context*/) {
    ReadMove(reader, Position);
    Width.Start = reader.ReadI32();
    Height.Start = reader.ReadI32();
    Width.End = reader.ReadI32();
    Height.End = reader.ReadI32();
    ReadClip(reader, Clip);
    ZoomX.Start = FilmZoomToFixed(ReadFloat64(reader));
    ZoomY.Start = FilmZoomToFixed(ReadFloat64(reader));
    ZoomX.End = FilmZoomToFixed(ReadFloat64(reader));
    ZoomY.End = FilmZoomToFixed(ReadFloat64(reader));
    ZoomXMode = reader.ReadU8();
    ZoomYMode = reader.ReadU8();
    Power = reader.ReadI32();
}

void TFireFrameList::InheritStarts(const TCustomFrameList& parent) {
    const auto& p = static_cast<const TFireFrameList&>(parent);
    Inherit(Position, p.Position);
    Inherit(Width, p.Width);
    Inherit(Height, p.Height);
    Inherit(Clip, p.Clip);
    Inherit(ZoomX, p.ZoomX);
    Inherit(ZoomY, p.ZoomY);
}

void TFireFrameList::Apply(const TFilmPlayback& playback, int32_t frame, TFilmObjectId object) {
    const TFilmSpan span = SpanAt(frame);
    TFilmStage& stage = *playback.Stage;
    Place(playback, object, TweenX(Position, span), TweenY(Position, span));
    stage.SetProperty(object, PR_ORIGWIDTH, TweenPair(Width, Position.ModeX, span));
    stage.SetProperty(object, PR_ORIGHEIGHT, TweenPair(Height, Position.ModeY, span));
    stage.SetProperty(object, PR_ZOOMX, TweenPair(ZoomX, ZoomXMode, span));
    stage.SetProperty(object, PR_ZOOMY, TweenPair(ZoomY, ZoomYMode, span));
    stage.SetProperty(object, PR_POWER, Power);
    Order(playback, object);
    SetClip(playback, object, Clip, span);
    stage.SetProperty(object, PR_VISIBLE, 1);
}

// ---- Particle tracks ----

void TParticleFrameList::ReadData(ByteReader& reader, const TFilmReadContext& context) {
    ImageFile = ResolveFilmName(context.FilmName, reader.ReadCountedString());
    if (ImageFile.empty()) return;
    Mode = reader.ReadU8();
    Index = reader.ReadI32();
    IntervalBase.Read(reader);
    IntervalRange.Read(reader);
    XBase.Start = reader.ReadI32();
    YBase.Start = reader.ReadI32();
    XBase.End = reader.ReadI32();
    YBase.End = reader.ReadI32();
    XRange.Start = reader.ReadI32();
    YRange.Start = reader.ReadI32();
    XRange.End = reader.ReadI32();
    YRange.End = reader.ReadI32();
    XBaseMode = reader.ReadU8();
    YBaseMode = reader.ReadU8();
    Param0.Start = ReadFloat64(reader);
    Param1.Start = ReadFloat64(reader);
    Param2.Start = ReadFloat64(reader);
    Param0.End = ReadFloat64(reader);
    Param1.End = ReadFloat64(reader);
    Param2.End = ReadFloat64(reader);
    ReadMove(reader, Position);
    Width.Start = reader.ReadI32();
    Height.Start = reader.ReadI32();
    Width.End = reader.ReadI32();
    Height.End = reader.ReadI32();
    ReadClip(reader, Clip);
    Alpha.Read(reader);
}

void TParticleFrameList::InheritStarts(const TCustomFrameList& parent) {
    const auto& p = static_cast<const TParticleFrameList&>(parent);
    Inherit(IntervalBase, p.IntervalBase);
    Inherit(IntervalRange, p.IntervalRange);
    Inherit(XBase, p.XBase);
    Inherit(YBase, p.YBase);
    Inherit(XRange, p.XRange);
    Inherit(YRange, p.YRange);
    Inherit(Param0, p.Param0);
    Inherit(Param1, p.Param1);
    Inherit(Param2, p.Param2);
    Inherit(Position, p.Position);
    Inherit(Width, p.Width);
    Inherit(Height, p.Height);
    Inherit(Clip, p.Clip);
    Inherit(Alpha, p.Alpha);
}

void TParticleFrameList::AppendImageNames(std::vector<std::string>& names) const {
    if (!ImageFile.empty()) names.push_back(ImageFile);
}

void TParticleFrameList::Apply(const TFilmPlayback& playback, int32_t frame, TFilmObjectId object) {
    const TFilmSpan span = SpanAt(frame);
    TFilmStage& stage = *playback.Stage;
    Place(playback, object, TweenX(Position, span), TweenY(Position, span));
    stage.SetProperty(object, PR_WIDTH, TweenPair(Width, Position.ModeX, span));
    stage.SetProperty(object, PR_HEIGHT, TweenPair(Height, Position.ModeY, span));
    Order(playback, object);
    stage.SetProperty(object, PR_ALPHA, TweenLinear(Alpha, span));
    stage.SetStringProperty(object, PR_SOURCE, ImageFile);
    stage.SetProperty(object, PR_PARTMOTION, Mode);
    stage.SetProperty(object, PR_INDEX, Index);
    stage.SetFloatProperty(object, PR_PARAM1, TweenFloat(Param0.Start, Param0.End, 0, span));
    stage.SetFloatProperty(object, PR_PARAM2, TweenFloat(Param1.Start, Param1.End, 0, span));
    stage.SetFloatProperty(object, PR_PARAM3, TweenFloat(Param2.Start, Param2.End, 0, span));
    stage.SetEmission(object, {.XBase = TweenPair(XBase, XBaseMode, span),
                               .YBase = TweenPair(YBase, YBaseMode, span),
                               .XRange = TweenLinear(XRange, span),
                               .YRange = TweenLinear(YRange, span),
                               .IntervalBase = TweenLinear(IntervalBase, span),
                               .IntervalRange = TweenLinear(IntervalRange, span)});
    SetClip(playback, object, Clip, span);
    stage.SetProperty(object, PR_VISIBLE, 1);
}

// ---- Transition tracks ----

void TWipeFrameList::ReadData(ByteReader& reader, const TFilmReadContext& context) {
    Transition.Kind = reader.ReadU8();
    if (context.Version < kFirstClipVersion) return;
    Transition.RuleFile = ResolveFilmName(context.FilmName, reader.ReadCountedString(), false);
    Transition.Param0 = reader.ReadI32();
    Transition.Param1 = reader.ReadI32();
    Transition.Flag = reader.ReadBool();
}

// ---- Sound tracks ----

void TSoundFrameList::ReadData(ByteReader& reader, const TFilmReadContext& context) {
    SoundFile = ResolveFilmName(context.FilmName, reader.ReadCountedString());
    Volume.Read(reader);
    Balance.Read(reader);
    VolumeMode = reader.ReadU8();
    BalanceMode = reader.ReadU8();
    if (context.Version <= kLastCentibelVersion) {
        // Attenuations in hundredths of decibels (-10000..0) become volumes (0..1000).
        Volume.Start = Volume.Start / 10 + 1000;
        Volume.End = Volume.End / 10 + 1000;
    }
}

void TSoundFrameList::InheritStarts(const TCustomFrameList& parent) {
    const auto& p = static_cast<const TSoundFrameList&>(parent);
    Inherit(Volume, p.Volume);
    Inherit(Balance, p.Balance);
}

void TSoundFrameList::Created(const TFilmPlayback& playback, TFilmObjectId object) const {
    TFilmStage& stage = *playback.Stage;
    stage.SetStringProperty(object, PR_SOURCE, SoundFile);
    stage.SetProperty(object, PR_PAUSED, 1);
    const bool shorter = stage.GetProperty(object, PR_COUNT) < FilmFramesToMs(Length);
    const bool loopsBackIn = End() >= playback.Duration && playback.LoopStart > 0 &&
                             playback.LoopStart < playback.Duration - 1 &&
                             playback.LoopStart >= Start;
    stage.SetProperty(object, PR_REPEAT, shorter || loopsBackIn);
}

void TSoundFrameList::Apply(const TFilmPlayback& playback, int32_t frame, TFilmObjectId object) {
    if (frame >= playback.Duration) return;
    const TFilmSpan span = SpanAt(frame);
    TFilmStage& stage = *playback.Stage;
    const int64_t volume = int64_t{TweenPair(Volume, VolumeMode, span)} * playback.Volume / 1000;
    stage.SetProperty(object, PR_VOLUME, ClampToInt32(volume));
    stage.SetProperty(object, PR_BALANCE, TweenPair(Balance, BalanceMode, span));
    if (!playback.Running) {
        stage.SetProperty(object, PR_PAUSED, 1);
        return;
    }
    if (frame < playback.PreviousFrame) stage.SetProperty(object, PR_PAUSED, 1);
    if (stage.GetProperty(object, PR_PLAYING) == 0) stage.PlaySound(object);
    const int64_t due = FilmFramesToMs(int64_t{frame} - ChainFirst->Start);
    if (std::abs(stage.GetProperty(object, PR_INDEX) - due) >= kResyncMs)
        stage.SetProperty(object, PR_INDEX, ClampToInt32(due));
}

bool TSoundFrameList::KeepInactive(const TFilmPlayback& playback, int32_t frame,
                                   TFilmObjectId object) {
    // Before its chain the sound goes; after it, the last track of the chain pauses it.
    if (frame < ChainFirst->Start) return false;
    if (!HasFollower && frame >= End()) playback.Stage->SetProperty(object, PR_PAUSED, 1);
    return true;
}

template struct TFilmPair<int32_t>;
template struct TFilmPair<double>;

}  // namespace kivo
