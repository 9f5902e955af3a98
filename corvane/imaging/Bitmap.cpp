#include "Bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <sys/mman.h>

namespace {

// Large canvases are placed on 2 MiB boundaries and offered huge pages: a
// 24-megapixel canvas then costs some fifty page faults instead of some
// twenty-four thousand, which is most of the time of decoding into it.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace

void CBitmap::Release::operator()(std::uint8_t* pixels) const { std::free(pixels); }

bool CBitmap::SizeAllowed(long long width, long long height)
{
    if (width <= 0 || height <= 0 || width > MaxSide || height > MaxSide) return false;
    return static_cast<unsigned long long>(width) * static_cast<unsigned long long>(height) * BytesPerPixel <=
           MaxBytes;
}

HRESULT CBitmap::Allocate(int width, int height, std::string* error)
{
    if (!SizeAllowed(width, height)) {
        if (error)
            *error = "picture size " + std::to_string(width) + " x " + std::to_string(height) +
                     " is empty or too large";
        return E_INVALIDARG;
    }
    const int stride = width * BytesPerPixel;
    const std::size_t bytes = static_cast<std::size_t>(stride) * height;
    void* memory = nullptr;
    if (bytes >= kHugePage) {
        if (posix_memalign(&memory, kHugePage, (bytes + kHugePage - 1) / kHugePage * kHugePage) == 0)
            madvise(memory, bytes, MADV_HUGEPAGE);
        else
            memory = nullptr;
    } else {
        memory = std::malloc(bytes);
    }
    std::unique_ptr<std::uint8_t[], Release> pixels(static_cast<std::uint8_t*>(memory));
    if (!pixels) {
        if (error) *error = "out of memory for a " + std::to_string(width) + " x " + std::to_string(height) + " picture";
        return E_OUTOFMEMORY;
    }
    pixels_ = std::move(pixels);
    width_ = width;
    height_ = height;
    stride_ = stride;
    return S_OK;
}

HRESULT CBitmap::CopyFrom(const CBitmap& other, std::string* error)
{
    if (&other == this) return S_OK;
    if (other.Empty()) {
        *this = CBitmap();
        return S_OK;
    }
    const HRESULT hr = Allocate(other.width_, other.height_, error);
    if (FAILED(hr)) return hr;
    std::memcpy(pixels_.get(), other.pixels_.get(), other.ByteSize());
    return S_OK;
}

void CBitmap::Fill(std::uint8_t b, std::uint8_t g, std::uint8_t r, std::uint8_t a)
{
    for (int y = 0; y < height_; ++y) {
        std::uint8_t* p = Row(y);
        for (int x = 0; x < width_; ++x, p += BytesPerPixel) {
            p[0] = b;
            p[1] = g;
            p[2] = r;
            p[3] = a;
        }
    }
}

namespace {

// Where the displayed pixel (x, y) of a `w` x `h` bitmap stored with
// `orientation` is stored.
void StoredPixel(int orientation, int w, int h, int& x, int& y)
{
    const int dx = x, dy = y;
    switch (orientation) {
    case 2: x = w - 1 - dx; break;
    case 3: x = w - 1 - dx, y = h - 1 - dy; break;
    case 4: y = h - 1 - dy; break;
    case 5: x = dy, y = dx; break;
    case 6: x = dy, y = h - 1 - dx; break;
    case 7: x = w - 1 - dy, y = h - 1 - dx; break;
    case 8: x = w - 1 - dy, y = dx; break;
    default: break;
    }
}

}  // namespace

PixelRect ExifSourceRect(const PixelRect& shown, int orientation, int width, int height)
{
    if (shown.Empty()) return {};
    int x0 = shown.Left, y0 = shown.Top, x1 = shown.Right - 1, y1 = shown.Bottom - 1;
    StoredPixel(orientation, width, height, x0, y0);
    StoredPixel(orientation, width, height, x1, y1);
    return {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1) + 1, std::max(y0, y1) + 1};
}

HRESULT ApplyExifOrientation(const CBitmap& source, int orientation, CBitmap& out, std::string* error)
{
    if (orientation < 2 || orientation > 8) return out.CopyFrom(source, error);
    const int w = source.Width(), h = source.Height();
    const bool swap = orientation >= 5;
    CBitmap turned;
    HRESULT hr = turned.Allocate(swap ? h : w, swap ? w : h, error);
    if (FAILED(hr)) return hr;
    for (int y = 0; y < turned.Height(); ++y) {
        std::uint8_t* dst = turned.Row(y);
        for (int x = 0; x < turned.Width(); ++x, dst += 4) {
            int sx = x, sy = y;
            StoredPixel(orientation, w, h, sx, sy);
            std::memcpy(dst, source.Row(sy) + sx * 4, 4);
        }
    }
    out = std::move(turned);
    return S_OK;
}

int InverseExifOrientation(int orientation)
{
    // Turning a quarter one way is undone by turning it back; every mirror undoes itself.
    if (orientation == 6) return 8;
    if (orientation == 8) return 6;
    return orientation;
}
