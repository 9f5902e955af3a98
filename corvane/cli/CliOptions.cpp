#include "CliOptions.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "PictureFormat.h"
#include "StringUtil.h"

namespace fs = std::filesystem;

namespace {

const char* const kClearNames[] = {"date",    "latitude", "longitude", "altitude", "direction", "precision", "datum",
                                   "gps-date", "gps-time", "location", "city",     "state",     "country",   "gps",
                                   "address", "all"};

bool ParseNumber(const std::string& text, double& value)
{
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && errno == 0 && std::isfinite(value);
}

// "2013-05-07 14:03:09", "2013:05:07 14:03:09", "2013-05-07T14:03:09" or a date alone.
bool ParseDateTime(const std::string& text, AutomationDate& date, bool timeOnly)
{
    int p[6] = {1899, 12, 30, 0, 0, 0};
    int n;
    if (timeOnly) {
        n = std::sscanf(text.c_str(), "%d:%d:%d", &p[3], &p[4], &p[5]);
        if (n < 2) return false;
    } else {
        std::string t = text;
        std::replace(t.begin(), t.end(), 'T', ' ');
        std::replace(t.begin(), t.end(), '-', ':');
        n = std::sscanf(t.c_str(), "%d:%d:%d %d:%d:%d", &p[0], &p[1], &p[2], &p[3], &p[4], &p[5]);
        if (n != 3 && n < 5) return false;
    }
    date = AutomationDate::FromParts(p[0], p[1], p[2], p[3], p[4], p[5]);
    return date.IsValid();
}

bool ParseDirection(std::string text, DirectionOption& d)
{
    if (!text.empty() && std::strchr("TtMm", text.back())) {
        d.Reference = static_cast<char>(std::toupper(static_cast<unsigned char>(text.back())));
        text.pop_back();
    }
    return ParseNumber(text, d.Degrees);
}

bool ParsePrecision(const std::string& text, std::wstring& word)
{
    for (const wchar_t* w : {L"Ideal", L"Excellent", L"Good", L"Moderate", L"Fair", L"Poor"}) {
        if (EqualsNoCase(w, Utf8ToWide(text))) {
            word = w;
            return true;
        }
    }
    return false;
}

bool ParseValueOption(const std::string& name, const std::string& value, CliOptions& o, std::string& error)
{
    double number;
    AutomationDate date;
    auto bad = [&](const char* what) {
        error = "invalid value for " + name + ": \"" + value + "\" (" + what + ")";
        return false;
    };
    if (name == "--lat" || name == "--lon" || name == "--alt") {
        if (!ParseNumber(value, number)) return bad("a decimal number is expected");
        (name == "--lat" ? o.Latitude : name == "--lon" ? o.Longitude : o.Altitude) = number;
    } else if (name == "--date") {
        if (!ParseDateTime(value, date, false)) return bad("YYYY-MM-DD HH:MM:SS is expected");
        o.Date = date;
    } else if (name == "--gps-date") {
        if (!ParseDateTime(value, date, false)) return bad("YYYY-MM-DD is expected");
        o.GpsDate = date.Value;
    } else if (name == "--gps-time") {
        if (!ParseDateTime(value, date, true)) return bad("HH:MM:SS is expected");
        o.GpsTime = date.Value;
    } else if (name == "--direction") {
        DirectionOption d;
        if (!ParseDirection(value, d)) return bad("degrees with an optional T or M is expected");
        o.Direction = d;
    } else if (name == "--precision") {
        std::wstring word;
        if (!ParsePrecision(value, word)) return bad("Ideal, Excellent, Good, Moderate, Fair or Poor");
        o.Precision = word;
    } else if (name == "--datum") {
        o.Datum = Utf8ToWide(value);
    } else if (name == "--location") {
        o.Location = Utf8ToWide(value);
    } else if (name == "--city") {
        o.City = Utf8ToWide(value);
    } else if (name == "--state") {
        o.State = Utf8ToWide(value);
    } else if (name == "--country") {
        o.Country = Utf8ToWide(value);
    } else if (name == "--out") {
        o.OutDir = value;
    } else if (name == "--server") {
        o.Server = value;
    } else if (name == "--user") {
        o.User = value;
    } else if (name == "--places") {
        o.Places = value;
    } else if (name == "--separator") {
        o.Separator = Utf8ToWide(value);
    } else {
        error = "unknown option " + name;
        return false;
    }
    return true;
}

}  // namespace

bool IsClearFieldName(const std::string& name)
{
    return std::find(std::begin(kClearNames), std::end(kClearNames), name) != std::end(kClearNames);
}

bool ParseCliOptions(int argc, char** argv, CliOptions& o, std::string& error)
{
    if (argc < 2) {
        error = "a verb is expected";
        return false;
    }
    o.Verb = argv[1];
    bool optionsEnded = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg == "--csv") {
            o.Csv = true;
        } else if (!optionsEnded && arg == "--dry-run") {
            o.DryRun = true;
        } else if (!optionsEnded && (arg == "--top" || arg == "--bottom")) {
            o.StampLocation = arg == "--top" ? L"top" : L"bot";
        } else if (!optionsEnded && (arg == "--personal" || arg == "--official")) {
            o.StampUse = arg == "--personal" ? L"PU" : L"OU";
        } else if (!optionsEnded && arg == "--right-to-left") {
            o.RightToLeft = true;
        } else if (!optionsEnded && arg == "--offline") {
            o.Offline = true;
        } else if (!optionsEnded && arg.rfind("--", 0) == 0) {
            std::string name = arg, value;
            const size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                error = "option " + arg + " needs a value";
                return false;
            }
            if (!ParseValueOption(name, value, o, error)) return false;
        } else if (o.Verb == "clear" && o.Inputs.empty() && !optionsEnded && IsClearFieldName(arg)) {
            o.Fields.push_back(arg);
        } else {
            o.Inputs.push_back(arg);
        }
    }
    if (o.Inputs.empty()) {
        error = "no picture or folder given";
        return false;
    }
    if (o.Verb == "clear" && o.Fields.empty()) {
        error = "clear needs at least one field name";
        return false;
    }
    return true;
}

std::vector<std::string> ExpandInputs(const std::vector<std::string>& inputs, std::vector<std::string>& missing)
{
    std::vector<std::string> files;
    for (const auto& input : inputs) {
        std::error_code ec;
        if (fs::is_directory(input, ec)) {
            std::vector<std::string> found;
            for (fs::directory_iterator it(input, ec), end; !ec && it != end; it.increment(ec)) {
                const std::string name = it->path().filename().string();
                if (name.empty() || name[0] == '.' || !it->is_regular_file(ec)) continue;
                if (PictureKindFromName(name) != PictureFormatOther) found.push_back(it->path().string());
            }
            std::sort(found.begin(), found.end());
            files.insert(files.end(), found.begin(), found.end());
        } else if (fs::exists(input, ec)) {
            files.push_back(input);
        } else {
            missing.push_back(input);
        }
    }
    return files;
}

const char* CliUsage()
{
    return "usage: corvane-cli VERB [options] PICTURE|FOLDER...\n"
           "verbs:\n"
           "  show [--csv] [--separator S]    the metadata table (CSV rows count from 0)\n"
           "  set [field options]             set geotag fields, then save\n"
           "      --date \"YYYY-MM-DD HH:MM:SS\" --lat DEG --lon DEG --alt METRES\n"
           "      --direction DEG[T|M] --precision Ideal|Excellent|Good|Moderate|Fair|Poor\n"
           "      --datum TEXT --gps-date YYYY-MM-DD --gps-time HH:MM:SS\n"
           "      --location TEXT --city TEXT --state TEXT --country TEXT\n"
           "  clear FIELD...                  clear fields, then save; FIELD is one of\n"
           "      date latitude longitude altitude direction precision datum gps-date gps-time\n"
           "      location city state country, or gps (every GPS field), address (the five\n"
           "      IPTC location fields), all (the whole geotag)\n"
           "  geocode [--server URL] [--user NAME] [--offline]\n"
           "                                  retrieve the addresses of pictures with coordinates\n"
           "                                  (--offline: from the offline places only;\n"
           "                                  --places FILE: another offline places index)\n"
           "  stamp gps|address|title TEXT [--top|--bottom] [--personal|--official] [--right-to-left]\n"
           "                                  draw a band of text into the pictures, then save\n"
           "  export-csv PICTURE|FOLDER... FILE.csv  write the metadata table as CSV\n"
           "common options:\n"
           "  --out DIR     write changed pictures into DIR instead of over the originals\n"
           "  --dry-run     show what would change; write nothing\n"
           "exit status: 0 all succeeded, 1 some file failed, 2 usage error\n";
}
