#include "CliOptions.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "CliGeotagOptions.h"
#include "CliValues.h"
#include "ImageMetadataManipulationOperation.h"
#include "StringUtil.h"

namespace {

const char* const kVerbs[] = {"show", "set", "clear", "geocode", "stamp", "export-csv", "geotag", "export-gpx"};

const char* const kClearNames[] = {"date",    "latitude", "longitude", "altitude", "direction", "precision", "datum",
                                   "gps-date", "gps-time", "location", "city",     "state",     "country",   "gps",
                                   "address", "all"};

// The verbs that take an option; an option not listed is taken by every verb.
// An option a verb would silently ignore is refused, so that a script that
// says `show --out DIR` or `clear --city X` learns that it means nothing.
struct OptionVerbs {
    const char* Option;
    const char* Verbs;  // each verb between spaces
};
const OptionVerbs kOptionVerbs[] = {
    {"--csv", " show "},          {"--separator", " show export-csv "},
    {"--force", " export-csv export-gpx "},  {"--out", " set clear geocode stamp geotag "},
    {"--dry-run", " set clear geocode stamp export-csv geotag export-gpx "},
    {"--keep-links", " set clear geocode stamp geotag "},
    {"--offline", " geocode "},    {"--places", " geocode "},
    {"--server", " geocode stamp "}, {"--user", " geocode stamp "},
    {"--top", " stamp "},         {"--bottom", " stamp "},
    {"--personal", " stamp "},    {"--official", " stamp "},
    {"--right-to-left", " stamp "}, {"--date", " set "},
    {"--lat", " set "},           {"--lon", " set "},
    {"--alt", " set "},           {"--direction", " set "},
    {"--precision", " set "},     {"--datum", " set "},
    {"--gps-date", " set "},      {"--gps-time", " set "},
    {"--location", " set "},      {"--city", " set "},
    {"--state", " set "},         {"--country", " set "},
    {"--track", " geotag "},      {"--tz", " geotag export-gpx "},
    {"--offset", " geotag "},     {"--sync", " geotag "},
    {"--max-gap", " geotag "},    {"--max-outside", " geotag "},
    {"--overwrite", " geotag "},
};

bool VerbTakes(const std::string& verb, const std::string& option)
{
    for (const auto& o : kOptionVerbs)
        if (option == o.Option) return std::strstr(o.Verbs, (" " + verb + " ").c_str()) != nullptr;
    return true;
}

// The ranges of the numbers set writes. The altitude is stored as an
// unsigned 32-bit rational in tenths of a metre with the sign apart, as the
// engine allows it: beyond that it has no form.
struct NumberRange {
    const char* Option;
    const char* What;
    double Low, High;
    const char* Text;
};
const NumberRange kRanges[] = {
    {"--lat", "latitude", -90, 90, "-90 to 90"},
    {"--lon", "longitude", -180, 180, "-180 to 180"},
    {"--alt", "altitude", -CImageMetadataManipulationOperation::MaxAltitude,
     CImageMetadataManipulationOperation::MaxAltitude, "-429496729.5 to 429496729.5"},
    {"--direction", "image direction", 0, 359.99, "0 to 359.99"},
};

// False with `error` set when `number` is outside the option's range; the
// number is shown as the user wrote it.
bool CheckRange(const std::string& option, double number, const std::string& written, std::string& error)
{
    for (const auto& r : kRanges) {
        if (option != r.Option || (number >= r.Low && number <= r.High)) continue;
        error = "invalid value for " + option + ": " + r.What + " " + written + " is outside " + r.Text;
        return false;
    }
    return true;
}

bool Invalid(const std::string& name, const std::string& value, const char* what, std::string& error)
{
    error = "invalid value for " + name + ": \"" + value + "\" (" + what + ")";
    return false;
}

// --lat, --lon, --alt.
bool ParseNumberOption(const std::string& name, const std::string& value, CliOptions& o, std::string& error)
{
    double number;
    if (!ParseDecimal(value, number)) return Invalid(name, value, "a decimal number is expected", error);
    if (!CheckRange(name, number, value, error)) return false;
    (name == "--lat" ? o.Latitude : name == "--lon" ? o.Longitude : o.Altitude) = number;
    return true;
}

// DEG with an optional T (true north) or M (magnetic north).
bool ParseDirectionOption(const std::string& name, const std::string& value, CliOptions& o, std::string& error)
{
    DirectionOption d;
    std::string degrees = value;
    if (!degrees.empty() && std::strchr("TtMm", degrees.back())) {
        d.Reference = static_cast<char>(std::toupper(static_cast<unsigned char>(degrees.back())));
        degrees.pop_back();
    }
    if (!ParseDecimal(degrees, d.Degrees))
        return Invalid(name, value, "degrees with an optional T or M is expected", error);
    if (!CheckRange(name, d.Degrees, degrees, error)) return false;
    o.Direction = d;
    return true;
}

bool ParseDateOption(const std::string& name, const std::string& value, CliOptions& o, std::string& error)
{
    AutomationDate date;
    if (name == "--date") {
        if (!ParseCalendarDate(value, true, date))
            return Invalid(name, value, "YYYY-MM-DD HH:MM:SS is expected", error);
        o.Date = date;
    } else if (name == "--gps-date") {
        if (!ParseCalendarDate(value, false, date)) return Invalid(name, value, "YYYY-MM-DD is expected", error);
        o.GpsDate = date.Value;
    } else {
        if (!ParseClockTime(value, date)) return Invalid(name, value, "HH:MM:SS is expected", error);
        o.GpsTime = date.Value;
    }
    return true;
}

bool ParsePrecisionOption(const std::string& name, const std::string& value, CliOptions& o, std::string& error)
{
    for (const wchar_t* word : {L"Ideal", L"Excellent", L"Good", L"Moderate", L"Fair", L"Poor"}) {
        if (EqualsNoCase(word, Utf8ToWide(value))) {
            o.Precision = word;
            return true;
        }
    }
    return Invalid(name, value, "Ideal, Excellent, Good, Moderate, Fair or Poor", error);
}

// The IPTC location texts and the map datum, written as given.
bool ParseFieldTextOption(const std::string& name, const std::string& value, CliOptions& o, std::string&)
{
    auto& field = name == "--datum"      ? o.Datum
                  : name == "--location" ? o.Location
                  : name == "--city"     ? o.City
                  : name == "--state"    ? o.State
                                         : o.Country;
    field = Utf8ToWide(value);
    return true;
}

// --out, --server, --user, --places, --separator: an empty --out would mean
// "over the originals", an empty separator a CSV nobody can split.
bool ParseRunOption(const std::string& name, const std::string& value, CliOptions& o, std::string& error)
{
    if (value.empty() && name != "--user")
        return Invalid(name, value,
                       name == "--out"      ? "a folder is expected"
                       : name == "--server" ? "a URL is expected"
                       : name == "--places" ? "a file is expected"
                                            : "one or more characters are expected",
                       error);
    if (name == "--out")
        o.OutDir = value;
    else if (name == "--server")
        o.Server = value;
    else if (name == "--user")
        o.User = value;
    else if (name == "--places")
        o.Places = value;
    else
        o.Separator = Utf8ToWide(value);
    return true;
}

using ValueParser = bool (*)(const std::string& name, const std::string& value, CliOptions& o, std::string& error);
const std::pair<const char*, ValueParser> kValueOptions[] = {
    {"--lat", ParseNumberOption},         {"--lon", ParseNumberOption},
    {"--alt", ParseNumberOption},         {"--direction", ParseDirectionOption},
    {"--date", ParseDateOption},          {"--gps-date", ParseDateOption},
    {"--gps-time", ParseDateOption},      {"--precision", ParsePrecisionOption},
    {"--datum", ParseFieldTextOption},    {"--location", ParseFieldTextOption},
    {"--city", ParseFieldTextOption},     {"--state", ParseFieldTextOption},
    {"--country", ParseFieldTextOption},  {"--out", ParseRunOption},
    {"--server", ParseRunOption},         {"--user", ParseRunOption},
    {"--separator", ParseRunOption},      {"--places", ParseRunOption},
    {"--track", ParseTrackOption},
    {"--tz", ParseZoneOption},            {"--offset", ParseOffsetOption},
    {"--sync", ParseSyncOption},          {"--max-gap", ParseLimitOption},
    {"--max-outside", ParseLimitOption},
};

bool ParseValueOption(const std::string& name, const std::string& value, CliOptions& o, std::string& error)
{
    for (const auto& [option, parse] : kValueOptions) {
        if (name != option) continue;
        // Only --out and --track name files; every other value is text that
        // must be UTF-8, or it would reach the pictures as U+FFFD.
        if (name != "--out" && name != "--track" && !IsValidUtf8(value)) {
            error = "invalid value for " + name + ": the text is not UTF-8";
            return false;
        }
        return parse(name, value, o, error);
    }
    error = "unknown option " + name;
    return false;
}

// A flag (an option without value); false when `arg` is none.
bool ParseFlag(const std::string& arg, CliOptions& o)
{
    if (arg == "--csv")
        o.Csv = true;
    else if (arg == "--dry-run")
        o.DryRun = true;
    else if (arg == "--force")
        o.Force = true;
    else if (arg == "--keep-links")
        o.KeepLinks = true;
    else if (arg == "--offline")
        o.Offline = true;
    else if (arg == "--top" || arg == "--bottom")
        o.StampLocation = arg == "--top" ? L"top" : L"bot";
    else if (arg == "--personal" || arg == "--official")
        o.StampUse = arg == "--personal" ? L"PU" : L"OU";
    else if (arg == "--right-to-left")
        o.RightToLeft = true;
    else if (arg == "--overwrite")
        o.Overwrite = true;
    else
        return false;
    return true;
}

// What the parsed command line lacks or holds that its verb cannot use.
bool CheckComplete(const CliOptions& o, std::string& error)
{
    if (o.Inputs.empty()) {
        error = "no picture or folder given";
        return false;
    }
    if (o.Verb == "clear" && o.Fields.empty()) {
        error = "clear needs at least one field name";
        return false;
    }
    if (!CheckGeotagOptions(o, error)) return false;
    if (o.Verb == "stamp" && o.Inputs.size() > 1 && o.Inputs[0] == "title" && !IsValidUtf8(o.Inputs[1])) {
        error = "invalid title: the text is not UTF-8";
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
    if (std::find(std::begin(kVerbs), std::end(kVerbs), o.Verb) == std::end(kVerbs)) {
        error = "unknown verb \"" + o.Verb + "\"";
        return false;
    }
    bool optionsEnded = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.rfind("--", 0) != 0) {
            if (o.Verb == "clear" && o.Inputs.empty() && !optionsEnded && IsClearFieldName(arg))
                o.Fields.push_back(arg);
            else
                o.Inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        if (!VerbTakes(o.Verb, name)) {
            error = o.Verb + " takes no option " + name;
            return false;
        }
        if (ParseFlag(name, o)) {
            if (eq == std::string::npos) continue;
            error = "option " + name + " takes no value";
            return false;
        }
        std::string value;
        if (eq != std::string::npos) {
            value = arg.substr(eq + 1);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            error = "option " + arg + " needs a value";
            return false;
        }
        if (!ParseValueOption(name, value, o, error)) return false;
    }
    return CheckComplete(o, error);
}

const char* CliUsage()
{
    return "usage: corvane-cli VERB [options] PICTURE|FOLDER...\n"
           "  a PICTURE is any JPEG or TIFF file named, whatever its name; a FOLDER stands for\n"
           "  its JPEG and TIFF pictures (by extension, hidden files left out)\n"
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
           "  export-csv [--separator S] [--force] PICTURE|FOLDER... FILE.csv\n"
           "                                  write the metadata table as CSV; a last argument that\n"
           "                                  is a picture or an existing file other than CSV is\n"
           "                                  refused unless --force\n"
           "  geotag --track FILE.gpx... [--tz ZONE] [--offset [+-]HH:MM:SS | --sync PICTURE=TIME]\n"
           "         [--max-gap SECONDS] [--max-outside SECONDS] [--overwrite]\n"
           "                                  place the pictures from GPS tracks by their capture time:\n"
           "                                  ZONE (an IANA name, default the system's) where a picture\n"
           "                                  records no offset, the camera clock's error added (or taken\n"
           "                                  from the true TIME a picture shows), interpolated between\n"
           "                                  fixes at most --max-gap apart (default 1800), placed on the\n"
           "                                  first or last fix within --max-outside (default 0); pictures\n"
           "                                  with coordinates are left alone unless --overwrite\n"
           "  export-gpx [--tz ZONE] [--force] PICTURE|FOLDER... FILE.gpx\n"
           "                                  write the geotagged pictures as GPX waypoints in the order\n"
           "                                  they were taken\n"
           "common options:\n"
           "  --out DIR     write changed pictures into DIR instead of over the originals\n"
           "  --dry-run     show what would change; write nothing\n"
           "  --keep-links  write a picture that has other hard links in place, so that every\n"
           "                name shows the change (without it the picture saved gets a new\n"
           "                file and the other names keep the old one). The new picture is\n"
           "                written and flushed beside it first, then copied over it; if the\n"
           "                system stops during that copy the picture can be left part old,\n"
           "                part new, and its complete new version stays beside it as\n"
           "                .corvane-NAME-XXXXXX.new\n"
           "exit status: 0 all succeeded, 1 some file failed, 2 usage error; stopped by\n"
           "  SIGINT (Ctrl+C), SIGTERM or SIGHUP: 130, 143 or 129, after the picture in hand\n"
           "  (a second signal stops it at once)\n";
}
