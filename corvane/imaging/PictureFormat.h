// The container kind of a picture. Only JPEG and TIFF carry geotags here.
#pragma once

#include <string>

enum PictureFormat : int {
    PictureFormatOther = 0,
    PictureFormatJpeg = 1,
    PictureFormatTiff = 2,
    PictureFormatBmp = 3,
    PictureFormatPng = 4,
    PictureFormatIco = 5,
    PictureFormatGif = 6,
    PictureFormatHdPhoto = 7,
};

// The picture kind by file extension alone (".jpg", ".jpeg", ".jpe", ".jfif";
// ".tif", ".tiff"; any case); PictureFormatOther for anything else.
PictureFormat PictureKindFromName(const std::wstring& fileName);
PictureFormat PictureKindFromName(const std::string& fileName);
