// Files and trees for the GPX tests: temporary files, and decoding and
// encoding in one call.
#pragma once

#include <memory>
#include <string>

#include "GPXFilesDecoder.h"
#include "GPXFilesEncoder.h"
#include "GPXModel.h"

// A file in the test's temporary folder, removed when it goes out of scope.
class TempFile {
public:
    explicit TempFile(const std::string& name, const std::string& content = std::string());
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& Path() const { return path; }
    std::wstring WidePath() const { return std::wstring(path.begin(), path.end()); }
    std::string Read() const;
    bool Exists() const;

private:
    std::string path;
};

struct Decoded {
    long hr = 0;
    bool garmin = false;
    std::unique_ptr<GPXRoot> root;
};

Decoded DecodeFile(const std::string& path);
Decoded DecodeText(const std::string& xml);

// Encodes `root` into `path`; the WriteGpxRoot and Finalize results.
struct Encoded {
    long write = 0;
    long finalize = 0;
};
Encoded EncodeFile(const GPXRoot& root, const std::string& path, bool garmin);

// The encoder's output for `root`. The encoder writes every field it knows,
// so two trees hold the same values (within its number formats) when their
// texts are equal.
std::string EncodeToText(const GPXRoot& root, bool garmin);
// `gpx` decoded and encoded again.
std::string ReencodeText(const std::string& gpx, bool garmin);

// A GPX document around `body`, declaring the Garmin namespace when asked.
std::string GpxDocument(const std::string& body, bool garminNamespace = true);
