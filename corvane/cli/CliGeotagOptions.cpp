#include "CliGeotagOptions.h"

#include <QByteArray>
#include <QTimeZone>

#include "CaptureTime.h"
#include "CliValues.h"

namespace {

bool Invalid(const std::string& name, const std::string& value, const char* what, std::string& error)
{
    error = "invalid value for " + name + ": \"" + value + "\" (" + what + ")";
    return false;
}

}  // namespace

bool ParseTrackOption(const std::string& name, const std::string& value, CliOptions& o, std::string& error)
{
    if (value.empty()) return Invalid(name, value, "a GPX file is expected", error);
    o.Tracks.push_back(value);
    return true;
}

bool ParseZoneOption(const std::string& name, const std::string& value, CliOptions& o, std::string& error)
{
    if (!QTimeZone::isTimeZoneIdAvailable(QByteArray::fromStdString(value)))
        return Invalid(name, value, "a time zone name such as Europe/Paris is expected", error);
    o.TimeZone = value;
    return true;
}

bool ParseOffsetOption(const std::string& name, const std::string& value, CliOptions& o, std::string& error)
{
    double seconds;
    if (!ParseCorrection(value, seconds))
        return Invalid(name, value, "[+-]HH:MM:SS, [+-]MM:SS or [+-]SS is expected", error);
    o.ClockOffset = seconds;
    return true;
}

bool ParseSyncOption(const std::string& name, const std::string& value, CliOptions& o, std::string& error)
{
    // The time holds no "=", the picture's name may.
    const std::size_t eq = value.rfind('=');
    double utc;
    if (eq == std::string::npos || eq == 0 ||
        !ParseInstant(value.substr(eq + 1), QTimeZone::utc(), utc))
        return Invalid(name, value, "PICTURE=YYYY-MM-DDTHH:MM:SS with an optional Z or +HH:MM is expected", error);
    o.Sync = ClockSync{value.substr(0, eq), value.substr(eq + 1)};
    return true;
}

bool ParseLimitOption(const std::string& name, const std::string& value, CliOptions& o, std::string& error)
{
    double seconds;
    if (!ParseDecimal(value, seconds) || seconds < 0)
        return Invalid(name, value, "a number of seconds, 0 or more, is expected", error);
    (name == "--max-gap" ? o.MaxGap : o.MaxOutside) = seconds;
    return true;
}

bool CheckGeotagOptions(const CliOptions& o, std::string& error)
{
    if (o.Verb != "geotag") return true;
    if (o.Tracks.empty()) {
        error = "geotag needs at least one --track FILE.gpx";
        return false;
    }
    if (o.ClockOffset && o.Sync) {
        error = "geotag takes --offset or --sync, not both";
        return false;
    }
    return true;
}
