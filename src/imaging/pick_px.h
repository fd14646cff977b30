#pragma once
// Sequential pixel readers over one bitmap row, and the run list that cuts a row into the
// run-length packets of TGA files.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kivo {

// Reads pixels one after another from a row start; the base class reads bytes.
class TPickPx {
  public:
    explicit TPickPx(const uint8_t* rowStart) : current_(rowStart), rowStart_(rowStart) {}
    virtual ~TPickPx() = default;
    TPickPx(const TPickPx&) = delete;
    TPickPx& operator=(const TPickPx&) = delete;

    // The pixel at the current address; advances by one pixel.
    [[nodiscard]] virtual uint32_t Next() { return *current_++; }
    // Advances n pixels.
    virtual void Skip(size_t n) { current_ += n; }
    void Rewind() { current_ = rowStart_; }
    [[nodiscard]] const uint8_t* Position() const { return current_; }

  protected:
    const uint8_t* current_;
    const uint8_t* rowStart_;
};

class TPickPx16 final : public TPickPx {
  public:
    using TPickPx::TPickPx;
    [[nodiscard]] uint32_t Next() override;
    void Skip(size_t n) override { current_ += 2 * n; }
};

// Three bytes stored B, G, R, read as 0x00RRGGBB.
class TPickPx24 final : public TPickPx {
  public:
    using TPickPx::TPickPx;
    [[nodiscard]] uint32_t Next() override;
    void Skip(size_t n) override { current_ += 3 * n; }
};

class TPickPx32 final : public TPickPx {
  public:
    using TPickPx::TPickPx;
    [[nodiscard]] uint32_t Next() override;
    void Skip(size_t n) override { current_ += 4 * n; }
};

// The reader for a row of 1, 2, 3 or 4 bytes per pixel.
[[nodiscard]] std::unique_ptr<TPickPx> MakePickPx(int bytesPerPixel, const uint8_t* rowStart);

// Runs of equal pixels (at most 128 each), filled pixel by pixel and read back as packets:
// a run of two or more becomes a repeat packet; single pixels are grouped into raw packets of
// at most 128.
class TPxList {
  public:
    struct Packet {
        bool Repeat = false;
        int Count = 0;
    };

    void Clear();
    void Add(uint32_t pixel);
    // The next packet from the read cursor; false when every run has been read.
    [[nodiscard]] bool NextPacket(Packet& packet);

    [[nodiscard]] const std::vector<uint8_t>& Runs() const { return runs_; }

  private:
    std::vector<uint8_t> runs_;  // run lengths
    uint32_t runValue_ = 0;
    bool full_ = true;  // the current run cannot grow; the next pixel starts a new one
    size_t cursor_ = 0;
};

}  // namespace kivo
