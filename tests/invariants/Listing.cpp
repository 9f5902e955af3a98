#include "Listing.h"

#include <tiffio.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include "TestSupport.h"

namespace invariants {

using testsupport::Quote;
using testsupport::RunCommand;

const Tag* Listing::Find(const std::string& key) const
{
    for (const Tag& t : Tags)
        if (t.Key() == key) return &t;
    return nullptr;
}

namespace {

void Index(Listing& listing)
{
    listing.ByKey.clear();
    listing.Warnings.clear();
    for (const Tag& t : listing.Tags) {
        if (t.Group == "ExifTool") {
            if (t.Name == "Warning" || t.Name == "Error") listing.Warnings.push_back(t.Name + ": " + t.Value);
            continue;
        }
        std::string key = t.Key();
        for (int n = 2; listing.ByKey.count(key); ++n) key = t.Key() + "#" + std::to_string(n);
        listing.ByKey[key] = t.Value;
    }
}

// "file1 file2 ... /dev/null": a second name makes both tools name the file of every line.
std::string FileArguments(const std::vector<fs::path>& files)
{
    std::string args;
    for (const auto& f : files) args += " " + Quote(f);
    return args + " /dev/null";
}

}  // namespace

Listing ParseExifToolOutput(const std::string& text)
{
    static const std::regex line(R"(^\[([^\]]+)\]\s+(\S+)\s+(\S+)\s*: ?(.*)$)");
    Listing listing;
    std::istringstream in(text);
    std::string l;
    std::smatch m;
    while (std::getline(in, l)) {
        if (std::regex_match(l, m, line))
            listing.Tags.push_back({m[1], m[2], m[3], m[4]});
        else if (!listing.Tags.empty() && !l.empty())
            listing.Tags.back().Value += "\n" + l;  // exiftool keeps other control characters
    }
    Index(listing);
    return listing;
}

std::map<fs::path, Listing> ExifToolListings(const std::vector<fs::path>& files)
{
    std::map<fs::path, Listing> out;
    if (files.empty()) return out;
    const std::string text = RunCommand("exiftool -a -G1 -n -D -s" + FileArguments(files) + " 2>/dev/null");
    static const std::regex summary(R"(^\s+\d+ (image )?files? .*)");
    std::istringstream in(text);
    std::string l, current, body;
    auto flush = [&] {
        if (!current.empty()) out[current] = ParseExifToolOutput(body);
        body.clear();
    };
    while (std::getline(in, l)) {
        if (l.rfind("======== ", 0) == 0) {
            flush();
            current = l.substr(9);
        } else if (!std::regex_match(l, summary)) {
            body += l + "\n";
        }
    }
    flush();
    out.erase("/dev/null");
    for (const auto& f : files) out[f];  // a file exiftool cannot read has an empty listing
    return out;
}

std::map<fs::path, StoredForms> Exiv2StoredForms(const std::vector<fs::path>& files)
{
    std::map<fs::path, StoredForms> out;
    if (files.empty()) return out;
    const std::string text = RunCommand("exiv2 -PEIXkv" + FileArguments(files) + " 2>/dev/null");
    std::istringstream in(text);
    std::string l;
    StoredForms::iterator last;
    StoredForms* lastForms = nullptr;
    while (std::getline(in, l)) {
        bool matched = false;
        for (const auto& f : files) {
            const std::string prefix = f.string() + " ";
            if (l.rfind(prefix, 0) != 0) continue;
            std::istringstream fields(l.substr(prefix.size()));
            std::string key, value;
            fields >> key;
            std::getline(fields, value);
            value.erase(0, value.find_first_not_of(' '));
            lastForms = &out[f];
            last = lastForms->emplace(key, value);
            matched = true;
            break;
        }
        if (!matched && lastForms) last->second += "\n" + l;
    }
    for (const auto& f : files) out[f];
    return out;
}

namespace {

// libtiff's complaints while decoding: a picture it warns about (a missing
// StripByteCounts, a directory it had to repair) counts as damaged.
bool tiffComplained = false;

void NoteTiffComplaint(const char*, const char* format, va_list)
{
    // Private tags are normal in real files.
    if (std::string(format).find("Unknown field with tag") == std::string::npos) tiffComplained = true;
}

bool TiffDecodes(const fs::path& file)
{
    tiffComplained = false;
    TIFFErrorHandler quietError = TIFFSetErrorHandler(NoteTiffComplaint);
    TIFFErrorHandler quietWarning = TIFFSetWarningHandler(NoteTiffComplaint);
    bool ok = false;
    if (TIFF* tif = TIFFOpen(file.c_str(), "r")) {
        ok = true;
        do {
            std::uint32_t w = 0, h = 0;
            TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
            TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
            if (w == 0 || h == 0 || std::uint64_t{w} * h > (std::uint64_t{1} << 28)) {
                ok = false;
                break;
            }
            std::vector<std::uint32_t> pixels(static_cast<size_t>(w) * h);
            ok = ok && TIFFReadRGBAImage(tif, w, h, pixels.data(), 1);
        } while (ok && TIFFReadDirectory(tif));
        TIFFClose(tif);
    }
    TIFFSetErrorHandler(quietError);
    TIFFSetWarningHandler(quietWarning);
    return ok && !tiffComplained;
}

}  // namespace

bool DecodesCleanly(const fs::path& file)
{
    const std::string head = testsupport::ReadFile(file).substr(0, 4);
    if (head.rfind("\xFF\xD8", 0) == 0) {
        int status = -1;
        RunCommand("djpeg -fast " + Quote(file) + " >/dev/null 2>&1", &status);
        return status == 0;
    }
    if (head == "II*\0" || head == std::string("MM\0*", 4)) return TiffDecodes(file);
    return false;
}

std::map<fs::path, Reading> ReadNow(const std::vector<fs::path>& files)
{
    std::map<fs::path, Reading> out;
    auto listings = ExifToolListings(files);
    auto stored = Exiv2StoredForms(files);
    for (const auto& f : files) {
        Reading& r = out[f];
        r.ExifTool = std::move(listings[f]);
        r.Stored = std::move(stored[f]);
        r.Decodes = DecodesCleanly(f);
    }
    return out;
}

namespace {

// Content hash (FNV-1a, 64 bits) naming a file's cached reading.
std::string ContentKey(const fs::path& file)
{
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : testsupport::ReadFile(file)) h = (h ^ c) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

std::string Escape(const std::string& s)
{
    std::string out;
    for (char c : s) out += c == '\n' ? std::string("\\n") : c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

std::string Unescape(const std::string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) out += s[++i] == 'n' ? '\n' : s[i];
        else out += s[i];
    }
    return out;
}

void Save(const Reading& r, const fs::path& to)
{
    std::ostringstream s;
    s << "decodes\t" << r.Decodes << "\n";
    for (const Tag& t : r.ExifTool.Tags)
        s << "tag\t" << Escape(t.Group) << "\t" << t.Id << "\t" << t.Name << "\t" << Escape(t.Value) << "\n";
    for (const auto& [key, value] : r.Stored) s << "stored\t" << key << "\t" << Escape(value) << "\n";
    const fs::path temp = to.string() + ".part" + std::to_string(::getpid());
    testsupport::WriteFile(temp, s.str());
    fs::rename(temp, to);  // parallel runs may write the same entry: each write is whole
}

bool Load(const fs::path& from, Reading& r)
{
    std::ifstream in(from);
    if (!in) return false;
    std::string l;
    while (std::getline(in, l)) {
        std::vector<std::string> f;
        std::istringstream fields(l);
        for (std::string part; std::getline(fields, part, '\t');) f.push_back(part);
        if (f.size() == 2 && f[0] == "decodes") r.Decodes = f[1] == "1";
        else if (f.size() >= 4 && f[0] == "tag")
            r.ExifTool.Tags.push_back({Unescape(f[1]), f[2], f[3], f.size() > 4 ? Unescape(f[4]) : ""});
        else if (f.size() >= 2 && f[0] == "stored")
            r.Stored.emplace(f[1], f.size() > 2 ? Unescape(f[2]) : "");
    }
    Index(r.ExifTool);
    return true;
}

}  // namespace

std::map<fs::path, Reading> ReadCached(const std::vector<fs::path>& files, const fs::path& cacheFolder)
{
    std::error_code ec;
    fs::create_directories(cacheFolder, ec);
    std::map<fs::path, Reading> out;
    std::vector<fs::path> missing;
    std::map<fs::path, fs::path> entries;
    for (const auto& f : files) {
        entries[f] = cacheFolder / (ContentKey(f) + ".reading2");
        // The suffix names the form of a reading: a new form makes new entries.
        if (!Load(entries[f], out[f])) missing.push_back(f);
    }
    for (auto& [file, reading] : ReadNow(missing)) {
        Save(reading, entries[file]);
        out[file] = std::move(reading);
    }
    return out;
}

}  // namespace invariants
