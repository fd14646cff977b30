#include "storage/big_stream.h"

#include <algorithm>
#include <cstdio>

#include "base/error.h"
#include "storage/vr_loose_folder.h"

namespace kivo {
namespace {

// Moves count bytes from read to write through one buffer of at most the copy buffer size;
// stops early when either side comes up short.
template <typename ReadFn, typename WriteFn>
int64_t CopyInChunks(int64_t count, ReadFn&& read, WriteFn&& write) {
    std::vector<uint8_t> buffer(
        static_cast<size_t>(std::clamp<int64_t>(count, 0, TTpBigFileStream::kCopyBufferSize)));
    int64_t copied = 0;
    while (copied < count) {
        int64_t got = read(buffer.data(),
                           std::min<int64_t>(count - copied, static_cast<int64_t>(buffer.size())));
        if (got <= 0 || write(buffer.data(), got) != got) break;
        copied += got;
    }
    return copied;
}

// Copies count bytes of source from its position, or, for a count of 0, all of it from its
// start.
template <typename Source, typename WriteFn>
int64_t CopyWholeOrCount(Source& source, int64_t count, WriteFn&& write) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.GetSize();
    }
    return CopyInChunks(
        count, [&](void* b, int64_t n) { return source.Read(b, n); }, write);
}

}  // namespace

TTpBigFileStream::TTpBigFileStream(std::filesystem::path path, Mode mode, int64_t volumeSize)
    : path_(std::move(path)), mode_(mode), volumeSize_(volumeSize) {
    switch (mode_) {
        case Mode::Read: {
            auto first = host::HostFile::OpenRead(path_);
            if (!first) throw KivoError(path_.string(), "cannot open the file");
            size_ = first->Size();
            volumes_.push_back(std::move(*first));
            // A volume follows only a full one, so a file below 1 GiB never picks up a
            // stranger that happens to carry the next volume's name. Volume names are matched
            // case-folded, as game files are: copied sets come as game.dat with GAME.001 too.
            while (volumes_.back().Size() == volumeSize_) {
                const auto found = FindHostFileFolded(VolumePath(path_, VolumeCount()));
                if (!found) break;
                auto next = host::HostFile::OpenRead(*found);
                if (!next) break;
                size_ += next->Size();
                volumes_.push_back(std::move(*next));
            }
            break;
        }
        case Mode::Create:
            break;
    }
}

TTpBigFileStream::~TTpBigFileStream() = default;

std::filesystem::path TTpBigFileStream::VolumePath(const std::filesystem::path& path,
                                                   int32_t index) {
    if (index == 0) return path;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%.3d", static_cast<int>(index));
    std::filesystem::path stem = path;
    stem.replace_extension();
    return stem.string() + suffix;
}

void TTpBigFileStream::SetPosition(int64_t pos) {
    position_ = std::clamp<int64_t>(pos, 0, size_);
}

int64_t TTpBigFileStream::ReadAt(int64_t pos, void* buffer, int64_t count) const {
    auto* out = static_cast<uint8_t*>(buffer);
    count = std::min(count, size_ - pos);
    int64_t done = 0;
    while (done < count) {
        int64_t at = pos + done;
        auto index = static_cast<size_t>(at / volumeSize_);
        int64_t offset = at % volumeSize_;
        int64_t want = std::min(count - done, volumeSize_ - offset);
        const host::HostFile* file = nullptr;
        switch (mode_) {
            case Mode::Read:
                if (index < volumes_.size()) file = &volumes_[index];
                break;
            case Mode::Create:
                if (index < pending_.size()) file = &pending_[index]->File();
                break;
        }
        if (!file) break;
        int64_t got = file->ReadAt(offset, out + done, want);
        done += got;
        if (got < want) break;
    }
    return done;
}

int64_t TTpBigFileStream::Read(void* buffer, int64_t count) {
    if (count <= 0) return 0;
    int64_t got = ReadAt(position_, buffer, count);
    position_ += got;
    return got;
}

host::HostFile& TTpBigFileStream::VolumeForWrite(int32_t index) {
    while (static_cast<int32_t>(pending_.size()) <= index) {
        pending_.push_back(std::make_unique<host::ReplacingFile>(
            VolumePath(path_, static_cast<int32_t>(pending_.size()))));
    }
    return pending_[static_cast<size_t>(index)]->File();
}

int64_t TTpBigFileStream::Write(const void* buffer, int64_t count) {
    switch (mode_) {
        case Mode::Read:
            return 0;
        case Mode::Create:
            break;
    }
    const auto* in = static_cast<const uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        int64_t at = position_ + done;
        auto index = static_cast<int32_t>(at / volumeSize_);
        int64_t offset = at % volumeSize_;
        int64_t put = std::min(count - done, volumeSize_ - offset);
        if (!VolumeForWrite(index).WriteAt(offset, in + done, put)) {
            failed_ = true;
            break;
        }
        done += put;
    }
    position_ += done;
    size_ = std::max(size_, position_);
    return done;
}

void TTpBigFileStream::Commit() {
    switch (mode_) {
        case Mode::Read:
            return;
        case Mode::Create:
            break;
    }
    if (failed_) throw KivoError(path_.string(), "cannot write the file");
    if (pending_.empty()) VolumeForWrite(0);
    for (auto& volume : pending_)
        volume->Commit();
    // Volumes left from a longer archive would be read as a continuation when the new last
    // volume happens to be full, so they go.
    for (auto i = static_cast<int32_t>(pending_.size());; ++i) {
        std::error_code error;
        if (!std::filesystem::remove(VolumePath(path_, i), error)) break;
    }
    pending_.clear();
}

int64_t TTpBigFileStream::CopyFromBig(TTpBigStream& source, int64_t count) {
    return CopyWholeOrCount(source, count, [&](const void* b, int64_t n) { return Write(b, n); });
}

int64_t TTpBigFileStream::CopyFromStream(TStream& source, int64_t count) {
    return CopyWholeOrCount(source, count, [&](const void* b, int64_t n) { return Write(b, n); });
}

int64_t TTpBigFileStream::CopyToStream(TStream& destination, int64_t count) {
    return CopyInChunks(
        count, [&](void* b, int64_t n) { return Read(b, n); },
        [&](const void* b, int64_t n) { return destination.Write(b, n); });
}

int64_t TTpBigMemoryStream::CopyFromBig(TTpBigStream& source, int64_t count) {
    auto* memory = dynamic_cast<TTpBigMemoryStream*>(&source);
    if (!memory) return 0;
    memory->SetPosition(0);
    if (count == 0) count = memory->GetSize();
    return CopyStream(memory_, memory->memory_, count);
}

int64_t TTpBigMemoryStream::CopyFromStream(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        return CopyStream(memory_, source, -1);
    }
    return CopyStream(memory_, source, count);
}

int64_t TTpBigMemoryStream::CopyToStream(TStream& destination, int64_t count) {
    return CopyStream(destination, memory_, std::max<int64_t>(count, 0));
}

void TTpBigMemoryStream::LoadFromFile(const std::filesystem::path& path) {
    auto file = host::HostFile::OpenRead(path);
    if (!file) throw KivoError(path.string(), "cannot open the file");
    std::vector<uint8_t> bytes(static_cast<size_t>(file->Size()));
    if (file->ReadAt(0, bytes.data(), static_cast<int64_t>(bytes.size())) !=
        static_cast<int64_t>(bytes.size())) {
        throw KivoError(path.string(), "cannot read the file");
    }
    memory_.Assign(std::move(bytes));
    memory_.SetName(path.string());
}

void TTpBigMemoryStream::SaveToFile(const std::filesystem::path& path) const {
    host::ReplacingFile out(path);
    std::span<const uint8_t> bytes = memory_.Bytes();
    if (!out.File().WriteAt(0, bytes.data(), static_cast<int64_t>(bytes.size()))) {
        throw KivoError(path.string(), "cannot write the file");
    }
    out.Commit();
}

TTpBuffBigStream::~TTpBuffBigStream() {
    size_t unread = buffer_.size() - used_;
    if (unread > 0) source_.SetPosition(source_.GetPosition() - static_cast<int64_t>(unread));
}

int64_t TTpBuffBigStream::ReadBuffered(void* buffer, int64_t count) {
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        if (used_ == buffer_.size()) {
            int64_t left = source_.GetSize() - source_.GetPosition();
            buffer_.resize(static_cast<size_t>(std::clamp<int64_t>(left, 0, kBufferSize)));
            used_ = 0;
            if (buffer_.empty()) break;
            int64_t got = source_.Read(buffer_.data(), static_cast<int64_t>(buffer_.size()));
            buffer_.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
            if (buffer_.empty()) break;
        }
        size_t take = std::min(static_cast<size_t>(count - done), buffer_.size() - used_);
        std::copy_n(buffer_.begin() + static_cast<std::ptrdiff_t>(used_), take, out + done);
        used_ += take;
        done += static_cast<int64_t>(take);
    }
    return done;
}

}  // namespace kivo
