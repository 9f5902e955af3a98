// The command line of corvane-cli: a verb, its options and the pictures it
// works on (files, or folders whose JPEG and TIFF pictures are taken).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "AutomationDate.h"

struct DirectionOption {
    double Degrees = 0;
    char Reference = 'M';
};

// --sync PICTURE=TIME: the true time shown in a picture (of a clock, of the
// logger's screen), from which the camera clock's error follows.
struct ClockSync {
    std::string Picture;
    std::string Time;  // an instant, or a local time in the pictures' zone
};

struct CliOptions {
    std::string Verb;
    std::vector<std::string> Inputs;  // as given
    std::vector<std::string> Fields;  // clear: field or group names
    std::string OutDir;               // --out
    bool DryRun = false;
    bool KeepLinks = false;           // --keep-links: write hard-linked pictures in place
    bool Csv = false;
    bool Force = false;  // export-csv: replace whatever file is named last
    std::optional<std::wstring> Separator;
    std::optional<std::string> Server, User;  // geocode: the address service for this run
    bool Offline = false;                      // geocode: the offline places only
    std::optional<std::string> Places;         // geocode: the offline places index to use
    std::optional<std::wstring> StampLocation;  // stamp: "top" or "bot"
    std::optional<std::wstring> StampUse;       // stamp: "OU" official or "PU" personal
    bool RightToLeft = false;                   // stamp title: reading order

    std::optional<AutomationDate> Date;
    std::optional<double> Latitude, Longitude, Altitude;
    std::optional<DirectionOption> Direction;
    std::optional<std::wstring> Precision;
    std::optional<std::wstring> Datum;
    std::optional<double> GpsDate, GpsTime;  // as day counts, as the table's pickers give them
    std::optional<std::wstring> Location, City, State, Country;

    // geotag and export-gpx
    std::vector<std::string> Tracks;      // --track, in the order given
    std::optional<std::string> TimeZone;  // --tz: an IANA zone the system knows
    std::optional<double> ClockOffset;    // --offset: seconds added to the camera's time
    std::optional<ClockSync> Sync;        // --sync
    std::optional<double> MaxGap, MaxOutside;  // seconds
    bool Overwrite = false;               // geotag pictures that have coordinates already
};

// Parses argv; false with `error` set on a usage error: an unknown verb or
// option, an option the verb does not take, a value that is not exactly of
// its kind or is out of its range, text that is not UTF-8.
bool ParseCliOptions(int argc, char** argv, CliOptions& options, std::string& error);
// The names clear accepts, in the order the table shows them.
bool IsClearFieldName(const std::string& name);

const char* CliUsage();
