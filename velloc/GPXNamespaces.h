// Namespace URIs published with the GPX 1.1 schema, the Garmin GPX
// extensions v3 schema and XML Schema.
#pragma once

inline constexpr const wchar_t* kGpxNamespace = L"http://www.topografix.com/GPX/1/1";
inline constexpr const wchar_t* kGarminNamespace = L"http://www.garmin.com/xmlschemas/GpxExtensions/v3";
inline constexpr const wchar_t* kSchemaInstanceNamespace = L"http://www.w3.org/2001/XMLSchema-instance";
