#include "GPXTestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

TempFile::TempFile(const std::string& name, const std::string& content)
    : path(testing::TempDir() + std::to_string(::getpid()) + "-" + name)
{
    if (!content.empty()) {
        std::ofstream out(path, std::ios::binary);
        out << content;
    }
}

TempFile::~TempFile()
{
    std::remove(path.c_str());
}

std::string TempFile::Read() const
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool TempFile::Exists() const
{
    return ::access(path.c_str(), F_OK) == 0;
}

Decoded DecodeFile(const std::string& path)
{
    Decoded result;
    CGPXFilesDecoder decoder(std::wstring(path.begin(), path.end()));
    EXPECT_EQ(0, decoder.Initialize()) << path;
    GPXRoot* root = reinterpret_cast<GPXRoot*>(1);
    result.hr = decoder.ReadGPXRoot(&root);
    result.root.reset(root);
    result.garmin = decoder.HasGarminExtensions();
    decoder.Finalize();
    return result;
}

Decoded DecodeText(const std::string& xml)
{
    TempFile file("decode.gpx", xml);
    return DecodeFile(file.Path());
}

Encoded EncodeFile(const GPXRoot& root, const std::string& path, bool garmin)
{
    Encoded result;
    CGPXFilesEncoder encoder(std::wstring(path.begin(), path.end()), L"Tracker", L"1.0", garmin);
    EXPECT_EQ(0, encoder.Initialize());
    result.write = encoder.WriteGpxRoot(const_cast<GPXRoot*>(&root));
    result.finalize = encoder.Finalize();
    return result;
}

std::string GpxDocument(const std::string& body, bool garminNamespace)
{
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"test\" "
                       "xmlns=\"http://www.topografix.com/GPX/1/1\"") +
           (garminNamespace ? " xmlns:gpxx=\"http://www.garmin.com/xmlschemas/GpxExtensions/v3\"" : "") + ">\n" +
           body + "\n</gpx>\n";
}

std::string EncodeToText(const GPXRoot& root, bool garmin)
{
    TempFile out("text.gpx");
    EXPECT_EQ(0, EncodeFile(root, out.Path(), garmin).finalize);
    return out.Read();
}

std::string ReencodeText(const std::string& gpx, bool garmin)
{
    const Decoded decoded = DecodeText(gpx);
    EXPECT_EQ(0, decoded.hr);
    return decoded.root ? EncodeToText(*decoded.root, garmin) : std::string();
}
