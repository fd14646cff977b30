#include "storage/range_stream.h"

#include <algorithm>

namespace kivo {

TRangeStream::TRangeStream(std::unique_ptr<TTpBigStream> source, int64_t start, int64_t length)
    : source_(std::move(source)) {
    int64_t size = source_->GetSize();
    start_ = std::clamp<int64_t>(start, 0, size);
    length_ = std::clamp<int64_t>(length, 0, size - start_);
}

int64_t TRangeStream::GetPosition() const {
    std::lock_guard guard(lock_);
    return position_;
}

void TRangeStream::SetPosition(int64_t pos) {
    std::lock_guard guard(lock_);
    position_ = std::clamp<int64_t>(pos, 0, length_);
}

int64_t TRangeStream::Read(void* buffer, int64_t count) {
    std::lock_guard guard(lock_);
    int64_t want = std::min(count, length_ - position_);
    if (want <= 0) return 0;
    source_->SetPosition(start_ + position_);
    int64_t got = source_->Read(buffer, want);
    position_ += std::max<int64_t>(got, 0);
    return got;
}

int64_t TRangeStream::Write(const void* /*buffer*/, int64_t /*count*/) {
    return 0;
}

std::string TRangeStream::SourceName() const {
    return source_->SourceName();
}

namespace {

std::unique_ptr<TTpBigStream> OpenForRange(const std::filesystem::path& path) {
    return std::make_unique<TTpBigFileStream>(path, TTpBigFileStream::Mode::Read);
}

}  // namespace

TFileRangeStream::TFileRangeStream(const std::filesystem::path& path, int64_t start, int64_t length)
    : TRangeStream(OpenForRange(path), start, length) {}

TFileRangeStream::TFileRangeStream(const std::filesystem::path& path)
    : TRangeStream(OpenForRange(path), 0, INT64_MAX) {}

}  // namespace kivo
