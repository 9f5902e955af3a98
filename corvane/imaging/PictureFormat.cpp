#include "PictureFormat.h"

#include <algorithm>
#include <cwctype>

#include "StringUtil.h"

PictureFormat PictureKindFromName(const std::wstring& fileName)
{
    const size_t slash = fileName.find_last_of(L'/');
    const size_t dot = fileName.find_last_of(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return PictureFormatOther;
    std::wstring ext = fileName.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    if (ext == L".jpg" || ext == L".jpeg" || ext == L".jpe" || ext == L".jfif") return PictureFormatJpeg;
    if (ext == L".tif" || ext == L".tiff") return PictureFormatTiff;
    return PictureFormatOther;
}

PictureFormat PictureKindFromName(const std::string& fileName)
{
    return PictureKindFromName(Utf8OrLatin1ToWide(fileName));
}
