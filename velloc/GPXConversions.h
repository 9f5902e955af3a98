// Text forms of GPX values shared by the decoder and the encoder: the
// enumeration words, times and the fixed-decimal number formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "GPXModel.h"

// The word of a value, or empty for a value with none (0 or out of range).
const wchar_t* FixWord(GPXFixType fix);
const wchar_t* DisplayModeWord(GPXGARDisplayMode mode);
const wchar_t* DisplayColorWord(GPXGARDisplayColor color);
// Exact, case-sensitive matches; any other text gives 0.
GPXFixType FixFromWord(const std::wstring& word);
GPXGARDisplayMode DisplayModeFromWord(const std::wstring& word);
GPXGARDisplayColor DisplayColorFromWord(const std::wstring& word);

// "2013-05-10T12:34:56Z" as seconds since 1970 in UTC. The text is cut at
// '-', 'T', ':' and 'Z'; the first six tokens are read as leading decimal
// integers (a zone offset is not applied). Raises CStatusException: E_FAIL
// for fields out of range (year < 1900, month, day 1-31, hour, minute,
// second), E_INVALIDARG for a date that does not exist or lies before 1970
// or after 9999.
GPXTime ParseGPXTime(const std::wstring& text);
// "%Y-%m-%dT%H:%M:%SZ" in UTC; CStatusException(E_INVALIDARG) for values
// before 1970 or after 9999.
std::wstring FormatGPXTime(GPXTime time);
void FormatGPXTime(GPXTime time, std::wstring& text);
// The same into `text`; returns the length (always 20).
constexpr std::size_t kGPXTimeLength = 20;
std::size_t FormatGPXTime(GPXTime time, char (&text)[kGPXTimeLength + 1]);

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
