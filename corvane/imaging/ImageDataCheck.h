// Whether a metadata-only rewrite kept a picture's image data byte for byte.
// The metadata library rewrites whole TIFF files; this is the check, made with
// the pixel library, that it carried every page's strips or tiles over.
#pragma once

#include <string>
#include <string_view>

// True when `after` has the pages of `before` with the same raw strips or
// tiles (same compression, same bytes). False with `why` set otherwise, or
// when `before` cannot be read by the pixel library at all.
bool SameTiffImageData(std::string_view before, std::string_view after, std::string* why);
