// The image data of a picture as a metadata-only save must keep it, read
// here independently of the program's own code.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace invariants {

// JPEG: every segment before the first scan except APPn and COM (frame
// header, tables, restart interval), then the scans up to and including EOI
// (to the end of the file when EOI is missing). Data after EOI (a trailer)
// is not image data. Empty when no scan is found.
std::string JpegImageData(const std::string& jpeg);

// TIFF: for every page of the IFD chain, its raw strips or tiles as libtiff
// reads them, one string per page. Empty when libtiff cannot open the file.
std::vector<std::string> TiffImageData(const std::filesystem::path& file);

// Either of the above for the picture's container, as one comparable value;
// `found` is false when no image data could be located.
std::string ImageDataOf(const std::filesystem::path& file, bool* found = nullptr);

}  // namespace invariants
