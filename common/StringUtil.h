// Conversions between the wide strings of our interfaces and the UTF-8 of
// files, XML, HTTP and Qt.
#pragma once

#include <string>

std::wstring Utf8ToWide(const std::string& utf8);
// Bytes that are not valid UTF-8 are taken as Latin-1, one character each.
std::wstring Utf8OrLatin1ToWide(const std::string& bytes);
std::wstring Latin1ToWide(const std::string& bytes);
std::string WideToUtf8(const std::wstring& wide);
bool IsValidUtf8(const std::string& bytes);
// The longest prefix of `text` whose UTF-8 form takes at most `maxBytes`
// bytes: cut between characters, never inside one.
std::wstring CutToUtf8Bytes(const std::wstring& text, size_t maxBytes);

// Case-insensitive comparison of wide strings (simple case folding).
bool EqualsNoCase(const std::wstring& a, const std::wstring& b);
