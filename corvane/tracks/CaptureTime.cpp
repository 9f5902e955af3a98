#include "CaptureTime.h"

#include <QDateTime>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "GeoTagMetadataDecoder.h"
#include "GeoTagMetadataParser.h"
#include "MetadataBlock.h"
#include "PictureMetadata.h"

namespace {

constexpr unsigned kSubSecTimeOriginal = 37521;   // EXIF 2.32, 4.6.5
constexpr unsigned kOffsetTimeOriginal = 36881;   // EXIF 2.32, 4.6.5
constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kEpochDay = 25569;  // 1970-01-01 counted from 1899-12-30

std::int64_t EpochSeconds(int year, int month, int day, int hour, int minute, int second)
{
    return (DaysFromCivil(year, month, day) - kEpochDay) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
}

bool ReadAscii(const MetadataBlock& exif, const std::string& path, std::string& text)
{
    MetadataValue value;
    if (FAILED(exif.GetMetadataByName(path, value)) || value.Type() != ValueType::Ascii) return false;
    text = value.Bytes();
    // Cameras pad with blanks and NULs.
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
    return true;
}

bool AllDigits(const std::string& text)
{
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// "550" is 0.550 s; digits beyond a nanosecond add nothing.
std::optional<double> SubSecondOf(const std::string& text)
{
    if (!AllDigits(text)) return std::nullopt;
    double value = 0, scale = 1;
    for (std::size_t i = 0; i < text.size() && i < 9; ++i) {
        scale /= 10;
        value += (text[i] - '0') * scale;
    }
    return value;
}

// "+02:00", "-05:30".
std::optional<int> OffsetOf(const std::string& text)
{
    if (text.size() != 6 || (text[0] != '+' && text[0] != '-') || text[3] != ':') return std::nullopt;
    const std::string hours = text.substr(1, 2), minutes = text.substr(4, 2);
    if (!AllDigits(hours) || !AllDigits(minutes)) return std::nullopt;
    const int h = std::atoi(hours.c_str()), m = std::atoi(minutes.c_str());
    if (h > 14 || m > 59) return std::nullopt;
    return (text[0] == '-' ? -1 : 1) * (h * 3600 + m * 60);
}

// The zone's offset at an instant.
int OffsetAt(const QTimeZone& zone, std::int64_t utc)
{
    return zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utc, Qt::UTC));
}

// A local time of `zone` as an instant. In the hour the clocks skip, the
// local time is read with the offset before the change (a camera not yet put
// forward); an hour that occurs twice is read as the second one.
std::int64_t LocalToUtc(const QTimeZone& zone, std::int64_t local, int& offset)
{
    offset = OffsetAt(zone, local - OffsetAt(zone, local));
    return local - offset;
}

std::int64_t WholeSeconds(double utc)
{
    return static_cast<std::int64_t>(std::floor(utc));
}

// ".5", ".25", "" for no milliseconds; `whole` is carried when the fraction rounds up.
std::string Milliseconds(double fraction, std::int64_t& whole)
{
    long long ms = std::llround(fraction * 1000);
    if (ms >= 1000) {
        ++whole;
        ms -= 1000;
    }
    if (ms <= 0) return {};
    char text[24];
    std::snprintf(text, sizeof text, ".%03lld", ms);
    std::string s = text;
    while (s.back() == '0') s.pop_back();
    return s;
}

std::string FormatCivil(std::int64_t seconds, char separator)
{
    const std::int64_t days = (seconds >= 0 ? seconds : seconds - (kSecondsPerDay - 1)) / kSecondsPerDay;
    const std::int64_t rest = seconds - days * kSecondsPerDay;
    int year, month, day;
    CivilFromDays(days + kEpochDay, year, month, day);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d%c%02d:%02d:%02d", year, month, day, separator,
                  static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    return text;
}

// Digits of `text` from `i` (at least one); false when there are none.
bool TakeNumber(const std::string& text, std::size_t& i, long long& value, std::size_t maxDigits = 9)
{
    std::size_t n = 0;
    value = 0;
    while (i < text.size() && n < maxDigits && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i++] - '0');
        ++n;
    }
    return n > 0;
}

bool TakeFraction(const std::string& text, std::size_t& i, double& fraction)
{
    fraction = 0;
    if (i >= text.size() || text[i] != '.') return true;
    ++i;
    double scale = 1;
    std::size_t n = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++n) {
        scale /= 10;
        fraction += (text[i] - '0') * scale;
    }
    return n > 0;
}

}  // namespace

CaptureStamp ReadCaptureStamp(const MetadataBlock& root, PictureFormat format)
{
    CaptureStamp stamp;
    const char* exifPath = GeoTagPaths::ExifRoot(format);
    const std::shared_ptr<MetadataBlock> exif = exifPath ? root.GetBlock(exifPath) : nullptr;
    std::string text;
    if (!exif || !ReadAscii(*exif, GeoTagPaths::DateTimeOriginal, text)) return stamp;
    // The same reading of "2013:05:07 14:03:09" as the record's date taken.
    int n[6];
    if (CGeoTagMetadataDecoder::SplitNumbers(text, ": ", n, 6, true) != 6) return stamp;
    if (!AutomationDate::FromParts(n[0], n[1], n[2], n[3], n[4], n[5]).IsValid() || n[0] < 1) return stamp;
    stamp.HasDate = true;
    stamp.Year = n[0];
    stamp.Month = n[1];
    stamp.Day = n[2];
    stamp.Hour = n[3];
    stamp.Minute = n[4];
    stamp.Second = n[5];
    if (ReadAscii(*exif, TagPath(kSubSecTimeOriginal), text))
        if (const auto sub = SubSecondOf(text)) stamp.SubSecond = *sub;
    if (ReadAscii(*exif, TagPath(kOffsetTimeOriginal), text)) stamp.OffsetSeconds = OffsetOf(text);
    return stamp;
}

CaptureStamp ReadCaptureStampOfFile(const std::string& path)
{
    const auto picture = CPictureMetadata::OpenFile(path, nullptr);
    if (!picture || !picture->Root()) return {};
    return ReadCaptureStamp(*picture->Root(), picture->Format());
}

CaptureStamp StampForRecord(const CaptureStamp& fromFile, const AutomationDate* dateTaken)
{
    DateTimeParts p;
    if (!dateTaken || !dateTaken->ToParts(p)) return {};
    if (fromFile.HasDate && p.Year == fromFile.Year && p.Month == fromFile.Month && p.Day == fromFile.Day &&
        p.Hour == fromFile.Hour && p.Minute == fromFile.Minute && p.Second == fromFile.Second)
        return fromFile;
    CaptureStamp stamp;
    stamp.HasDate = true;
    stamp.Year = p.Year;
    stamp.Month = p.Month;
    stamp.Day = p.Day;
    stamp.Hour = p.Hour;
    stamp.Minute = p.Minute;
    stamp.Second = p.Second;
    return stamp;
}

std::optional<CaptureInstant> CaptureInstantOf(const CaptureStamp& stamp, const CameraClock& clock)
{
    if (!stamp.HasDate) return std::nullopt;
    const std::int64_t local = EpochSeconds(stamp.Year, stamp.Month, stamp.Day, stamp.Hour, stamp.Minute, stamp.Second);
    CaptureInstant instant;
    std::int64_t utc;
    if (clock.UsePictureOffset && stamp.OffsetSeconds) {
        instant.OffsetSeconds = *stamp.OffsetSeconds;
        instant.OffsetFromPicture = true;
        utc = local - instant.OffsetSeconds;
    } else {
        utc = LocalToUtc(clock.Zone, local, instant.OffsetSeconds);
    }
    instant.Utc = static_cast<double>(utc) + stamp.SubSecond + clock.Correction;
    return instant;
}

std::optional<double> ClockCorrectionFor(const CaptureStamp& stamp, const CameraClock& clock, double trueUtc)
{
    CameraClock uncorrected = clock;
    uncorrected.Correction = 0;
    const auto instant = CaptureInstantOf(stamp, uncorrected);
    if (!instant) return std::nullopt;
    return trueUtc - instant->Utc;
}

std::string FormatCameraTime(const CaptureStamp& stamp)
{
    if (!stamp.HasDate) return {};
    std::int64_t whole = EpochSeconds(stamp.Year, stamp.Month, stamp.Day, stamp.Hour, stamp.Minute, stamp.Second);
    const std::string fraction = Milliseconds(stamp.SubSecond, whole);
    return FormatCivil(whole, ' ') + fraction;
}

std::string FormatUtc(double utc)
{
    std::int64_t whole = WholeSeconds(utc);
    const std::string fraction = Milliseconds(utc - static_cast<double>(whole), whole);
    return FormatCivil(whole, 'T') + fraction + "Z";
}

std::string FormatOffset(int offsetSeconds)
{
    const int a = std::abs(offsetSeconds);
    char text[16];
    std::snprintf(text, sizeof text, "%c%02d:%02d", offsetSeconds < 0 ? '-' : '+', a / 3600, a / 60 % 60);
    return text;
}

std::string FormatCorrection(double seconds)
{
    const double a = std::fabs(seconds);
    std::int64_t whole = WholeSeconds(a);
    const std::string fraction = Milliseconds(a - static_cast<double>(whole), whole);
    char text[40];
    std::snprintf(text, sizeof text, "%c%02lld:%02lld:%02lld", seconds < 0 && (whole > 0 || !fraction.empty()) ? '-' : '+',
                  static_cast<long long>(whole / 3600), static_cast<long long>(whole / 60 % 60),
                  static_cast<long long>(whole % 60));
    return text + fraction;
}

bool ParseCorrection(const std::string& text, double& seconds)
{
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) ++i;
    long long parts[3];
    int count = 0;
    for (;;) {
        if (count == 3 || !TakeNumber(text, i, parts[count])) return false;
        ++count;
        if (i < text.size() && text[i] == ':') {
            ++i;
            continue;
        }
        break;
    }
    double fraction;
    if (!TakeFraction(text, i, fraction) || i != text.size()) return false;
    // A unit after the first counts up to 59 only: "1:75" is a typing error.
    for (int k = 1; k < count; ++k)
        if (parts[k] > 59) return false;
    double total = 0;
    for (int k = 0; k < count; ++k) total = total * 60 + static_cast<double>(parts[k]);
    total += fraction;
    seconds = negative ? -total : total;
    return true;
}

bool ParseInstant(const std::string& text, const QTimeZone& zone, double& utc)
{
    std::size_t i = 0;
    long long year, month, day, hour, minute, second;
    const auto dateSeparator = [&](char& used) {
        if (i < text.size() && (text[i] == '-' || text[i] == ':')) {
            used = text[i++];
            return true;
        }
        return false;
    };
    char first, second_;
    if (!TakeNumber(text, i, year, 4) || !dateSeparator(first) || !TakeNumber(text, i, month, 2) ||
        !dateSeparator(second_) || first != second_ || !TakeNumber(text, i, day, 2))
        return false;
    if (i >= text.size() || (text[i] != 'T' && text[i] != ' ')) return false;
    ++i;
    if (!TakeNumber(text, i, hour, 2) || i >= text.size() || text[i++] != ':' || !TakeNumber(text, i, minute, 2) ||
        i >= text.size() || text[i++] != ':' || !TakeNumber(text, i, second, 2))
        return false;
    double fraction;
    if (!TakeFraction(text, i, fraction)) return false;
    if (!AutomationDate::FromParts(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day),
                                   static_cast<int>(hour), static_cast<int>(minute), static_cast<int>(second))
             .IsValid())
        return false;
    const std::int64_t local = EpochSeconds(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day),
                                            static_cast<int>(hour), static_cast<int>(minute), static_cast<int>(second));
    std::int64_t whole;
    if (i == text.size()) {
        int offset;
        whole = LocalToUtc(zone, local, offset);
    } else if (text.substr(i) == "Z") {
        whole = local;
    } else {
        const auto offset = OffsetOf(text.substr(i));
        if (!offset) return false;
        whole = local - *offset;
    }
    utc = static_cast<double>(whole) + fraction;
    return true;
}
