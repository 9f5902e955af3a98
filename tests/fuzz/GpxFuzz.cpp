// A hostile GPX file, read as the track matcher and velloc-convert read one.
#include <memory>
#include <string>

#include "FuzzEntries.h"
#include "FuzzSupport.h"
#include "GPXFilesDecoder.h"
#include "StatusException.h"

int FuzzGpx(const std::uint8_t* data, std::size_t size)
{
    const std::string path = WriteFuzzInputFile(data, size, ".gpx");
    if (path.empty()) return 0;
    CGPXFilesDecoder decoder(std::wstring(path.begin(), path.end()));
    if (decoder.Initialize() < 0) return 0;
    GPXRoot* root = nullptr;
    try {
        decoder.ReadGPXRoot(&root);
    } catch (const CStatusException&) {
        // An invalid time is reported so; the tree is not built.
        return 0;
    }
    std::unique_ptr<GPXRoot> owned(root);
    decoder.HasGarminExtensions();
    decoder.GetErrorText();
    decoder.Finalize();
    return 0;
}
