// A picture's pixels in memory: 32-bit BGRA with premultiplied alpha, rows
// top to bottom, `Stride()` bytes apart. This is the canvas that decoders
// fill, stamps draw into and encoders read back. Sizes past a sane bound are
// refused instead of allocated, because the size comes from untrusted files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "HResult.h"

class CBitmap {
public:
    static constexpr int MaxSide = 30000;
    static constexpr std::size_t MaxBytes = std::size_t{1} << 30;  // 1 GiB
    static constexpr int BytesPerPixel = 4;

    CBitmap() = default;
    CBitmap(CBitmap&&) noexcept = default;
    CBitmap& operator=(CBitmap&&) noexcept = default;
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    // True when a bitmap of this size may be allocated.
    static bool SizeAllowed(long long width, long long height);
    // Replaces the pixels by a new, uninitialised buffer. E_INVALIDARG with
    // `error` set when the size is empty or beyond the bounds; E_OUTOFMEMORY
    // when the allocation fails.
    HRESULT Allocate(int width, int height, std::string* error);
    // A deep copy (the encoders compare the drawn canvas with the decoded one).
    HRESULT CopyFrom(const CBitmap& other, std::string* error);
    // Sets every pixel to one premultiplied BGRA value.
    void Fill(std::uint8_t b, std::uint8_t g, std::uint8_t r, std::uint8_t a);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Stride() const { return stride_; }
    bool Empty() const { return !pixels_; }
    std::uint8_t* Data() { return pixels_.get(); }
    const std::uint8_t* Data() const { return pixels_.get(); }
    std::uint8_t* Row(int y) { return pixels_.get() + static_cast<std::size_t>(y) * stride_; }
    const std::uint8_t* Row(int y) const { return pixels_.get() + static_cast<std::size_t>(y) * stride_; }
    std::size_t ByteSize() const { return static_cast<std::size_t>(stride_) * height_; }

private:
    struct Release {
        void operator()(std::uint8_t* pixels) const;
    };
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    std::unique_ptr<std::uint8_t[], Release> pixels_;
};

// Turns a bitmap stored with EXIF orientation `orientation` (1 to 8, EXIF 2.32
// tag 274) the right way up; other values copy it as it is.
HRESULT ApplyExifOrientation(const CBitmap& source, int orientation, CBitmap& out, std::string* error);
// The orientation that turns an upright bitmap back into the stored one.
int InverseExifOrientation(int orientation);

// A rectangle of pixels; right and bottom excluded.
struct PixelRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool Empty() const { return Right <= Left || Bottom <= Top; }
};
// The pixels of a `width` x `height` bitmap that ApplyExifOrientation(.,
// orientation) takes to make `shown`, a rectangle of the turned bitmap.
PixelRect ExifSourceRect(const PixelRect& shown, int orientation, int width, int height);
