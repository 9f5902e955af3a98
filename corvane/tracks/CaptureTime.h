// When a picture was taken, as an instant: the camera's date taken
// (DateTimeOriginal with SubSecTimeOriginal) read in the zone the picture
// records (OffsetTimeOriginal) or else in the zone the user chose, with the
// IANA rules of that zone (so a trip across a daylight-saving change is right
// on both sides), then corrected for the camera clock's error.
#pragma once

#include <QTimeZone>
#include <optional>
#include <string>

#include "AutomationDate.h"
#include "PictureFormat.h"

class MetadataBlock;

// What a picture says about the moment it was taken.
struct CaptureStamp {
    bool HasDate = false;
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
    double SubSecond = 0;               // 0 <= SubSecond < 1
    std::optional<int> OffsetSeconds;   // east of UTC, from OffsetTimeOriginal
};

// The stamp of a picture's EXIF block (no date when the block or a valid
// DateTimeOriginal is missing; sub-seconds and offset only when well formed).
CaptureStamp ReadCaptureStamp(const MetadataBlock& root, PictureFormat format);
// The same from a picture file (no date when it cannot be read).
CaptureStamp ReadCaptureStampOfFile(const std::string& path);

// The stamp to use for a record whose date taken may have been edited since
// the file was read: the file's own stamp while the record's date is the
// file's date, else the record's date alone (its sub-seconds and offset
// belonged to the old date). No date when the record has none.
CaptureStamp StampForRecord(const CaptureStamp& fromFile, const AutomationDate* dateTaken);

// How the camera's clock relates to the true time.
struct CameraClock {
    QTimeZone Zone = QTimeZone::systemTimeZone();  // for pictures that record no offset
    bool UsePictureOffset = true;                  // OffsetTimeOriginal, where the picture has it
    double Correction = 0;                         // seconds added to the camera's time
};

struct CaptureInstant {
    double Utc = 0;                 // seconds since 1970 in UTC, fraction included, corrected
    int OffsetSeconds = 0;          // the zone offset the camera's time was read with
    bool OffsetFromPicture = false;
};

// Nothing for a stamp without date.
std::optional<CaptureInstant> CaptureInstantOf(const CaptureStamp& stamp, const CameraClock& clock);

// The correction that makes the capture time of `stamp` the true instant
// `trueUtc` (with the zone rules of `clock`, its correction ignored).
std::optional<double> ClockCorrectionFor(const CaptureStamp& stamp, const CameraClock& clock, double trueUtc);

// Texts for people and for the command line's output.
// "2013-05-07 12:04:00.5" as the camera wrote it.
std::string FormatCameraTime(const CaptureStamp& stamp);
// "2013-05-07T10:04:00.5Z".
std::string FormatUtc(double utc);
// "+02:00".
std::string FormatOffset(int offsetSeconds);
// "-00:01:12", "+01:00:00", "+00:00:00.5".
std::string FormatCorrection(double seconds);
// Parses what FormatCorrection writes, and "[+-]SS", "[+-]MM:SS", with an
// optional fraction of the seconds; false for anything else.
bool ParseCorrection(const std::string& text, double& seconds);
// "2013-05-07T12:03:09Z", "2013-05-07T14:03:09+02:00" (an instant), or a
// local time without zone ("2013-05-07 14:03:09", "T" allowed) read in
// `zone`. False for anything else or a date that does not exist.
bool ParseInstant(const std::string& text, const QTimeZone& zone, double& utc);
