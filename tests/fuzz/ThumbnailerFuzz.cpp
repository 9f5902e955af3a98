// A hostile file in a folder the browser shows: its thumbnail is made from
// the file, as the folder view does.
#include <string>

#include "FuzzEntries.h"
#include "FuzzSupport.h"
#include "Thumbnailer.h"

int FuzzThumbnailer(const std::uint8_t* data, std::size_t size)
{
    const std::string path = WriteFuzzInputFile(data, size, ".jpg");
    if (path.empty()) return 0;
    CBitmap thumb;
    std::string error;
    if (SUCCEEDED(MakeThumbnail(path, thumb, &error)))
        FuzzCheck(thumb.Width() <= ThumbnailSide && thumb.Height() <= ThumbnailSide && !thumb.Empty(),
                  "a thumbnail fits its square");
    return 0;
}
