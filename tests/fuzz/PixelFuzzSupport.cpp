#include "PixelFuzzSupport.h"

#include <algorithm>

#include "FuzzSupport.h"
#include "PictureCodec.h"

HRESULT DrawFuzzBand(CBitmap& canvas)
{
    const int rows = std::min(canvas.Height(), 8);
    for (int y = 0; y < rows; ++y) {
        std::uint8_t* p = canvas.Row(y);
        for (int x = 0; x < canvas.Width(); ++x, p += 4) {
            p[0] = 40;
            p[1] = 80;
            p[2] = 200;
            p[3] = 255;
        }
    }
    return S_OK;
}

void ReencodeAndCheck(std::string_view bytes, PictureFormat format)
{
    int width = 0, height = 0;
    const auto draw = [&](CBitmap& canvas) {
        width = canvas.Width();
        height = canvas.Height();
        return DrawFuzzBand(canvas);
    };
    std::string out, error;
    if (FAILED(ReencodePicture(bytes, format, draw, out, &error))) return;
    CBitmap after;
    FuzzCheck(SUCCEEDED(DecodePicture(out, format, after, &error)), "a re-encoded picture decodes");
    FuzzCheck(after.Width() == width && after.Height() == height, "a re-encoded picture keeps its size");
}
