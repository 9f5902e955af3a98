// Numbers read from XML text the way a stream extraction reads them: leading
// white space skipped, the longest prefix that forms a decimal number used,
// anything after it ignored, the full stop as decimal point whatever the
// locale. Unlike a stream, a text that does not start with a number, or a
// value out of the type's range, reports false and leaves the target alone,
// so garbage never becomes 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

bool ParseLeadingDouble(const std::wstring& text, double& value);
// The same on UTF-8 text (as the XML reader holds it), read as its wide form.
bool ParseLeadingDouble(std::string_view utf8, double& value);
bool ParseLeadingInt32(const std::wstring& text, std::int32_t& value);
bool ParseLeadingInt32(std::string_view utf8, std::int32_t& value);
// A minus sign is refused rather than wrapped around.
bool ParseLeadingUInt32(const std::wstring& text, std::uint32_t& value);
bool ParseLeadingUInt32(std::string_view utf8, std::uint32_t& value);

// The whole text as one finite decimal number ("-12.5", "3e2"), the full
// stop as decimal point whatever the locale; false for anything else
// (empty, trailing characters, "1,5", nan, out of range).
bool ParseWholeDouble(std::string_view text, double& value);
// Fixed notation with exactly `decimals` decimals and a full stop, whatever
// the locale ("12.50" for 12.5 and 2). Not-a-number and infinities give "nan",
// "inf", "-inf".
std::string FormatFixed(double value, int decimals);
