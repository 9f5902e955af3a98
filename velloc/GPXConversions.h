// Text forms of GPX values shared by the decoder and the encoder: the
// enumeration words, times and the fixed-decimal number formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "GPXModel.h"

// The word of a value, or empty for a value with none (0 or out of range).
const wchar_t* FixWord(GPXFixType fix);
const wchar_t* DisplayModeWord(GPXGARDisplayMode mode);
const wchar_t* DisplayColorWord(GPXGARDisplayColor color);
// Exact, case-sensitive matches; any other text gives 0.
GPXFixType FixFromWord(const std::wstring& word);
GPXGARDisplayMode DisplayModeFromWord(const std::wstring& word);
GPXGARDisplayColor DisplayColorFromWord(const std::wstring& word);

// An XML Schema date and time ("2013-05-10T12:34:56Z",
// "2002-08-15T00:00:00.0000000-07:00") as seconds since 1970 in UTC and the
// fraction of a second (0 <= fraction < 1). A zone offset is applied; a text
// without one is taken as UTC. Leniencies of real files are accepted: a space
// for the "T", a lower-case "t" or "z", no seconds, no time at all, an offset
// without its colon, anything after a complete value.
// Returns false, leaving the outputs alone, for a valid date the model cannot
// hold (before 1970, after 9999, once the offset is applied). Raises
// CStatusException: E_FAIL for a text that is no date and time or has fields
// out of range (month, day 1-31, hour, minute, second, offset), E_INVALIDARG
// for a day the month does not have.
bool ParseGPXTime(const std::wstring& text, GPXTime& seconds, double& fraction);
// The same on UTF-8 text, as the XML reader holds it.
bool ParseGPXTime(std::string_view utf8, GPXTime& seconds, double& fraction);
// "%Y-%m-%dT%H:%M:%SZ" in UTC; CStatusException(E_INVALIDARG) for values
// before 1970 or after 9999.
std::wstring FormatGPXTime(GPXTime time);
void FormatGPXTime(GPXTime time, std::wstring& text);
// The same into `text`; returns the length (always 20).
constexpr std::size_t kGPXTimeLength = 20;
std::size_t FormatGPXTime(GPXTime time, char (&text)[kGPXTimeLength + 1]);
// With the fraction of a second in microseconds, trailing zeros left out
// ("2013-05-10T12:34:56.25Z"); a fraction that rounds to no microsecond is
// not written. Returns the length.
constexpr std::size_t kGPXFractionalTimeLength = kGPXTimeLength + 7;
std::size_t FormatGPXTime(GPXTime time, double fraction, char (&text)[kGPXFractionalTimeLength + 1]);

// Fixed notation with `decimals` decimals, trailing zeros and a trailing
// point removed, "0" for an empty result. Raises std::invalid_argument for
// NaN and infinities, which GPX cannot hold.
std::wstring FormatDecimals(double value, int decimals);
// The same into `text`, reusing its storage.
void FormatDecimals(double value, int decimals, std::wstring& text);
// The same as ASCII into `text`; returns the length. 360 digits hold any
// finite double in fixed notation with 15 decimals.
constexpr std::size_t kDecimalsBufferSize = 400;
std::size_t FormatDecimals(double value, int decimals, char (&text)[kDecimalsBufferSize]);
