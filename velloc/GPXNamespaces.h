// Namespace URIs published with the GPX 1.1 and 1.0 schemas, the Garmin GPX
// extensions v3 and TrackPointExtension v1 and v2 schemas, and XML Schema.
#pragma once

#include <string_view>

inline constexpr const wchar_t* kGpxNamespace = L"http://www.topografix.com/GPX/1/1";
inline constexpr const wchar_t* kGpx10Namespace = L"http://www.topografix.com/GPX/1/0";
inline constexpr const wchar_t* kGarminNamespace = L"http://www.garmin.com/xmlschemas/GpxExtensions/v3";
inline constexpr const wchar_t* kTrackPointV1Namespace = L"http://www.garmin.com/xmlschemas/TrackPointExtension/v1";
inline constexpr const wchar_t* kTrackPointV2Namespace = L"http://www.garmin.com/xmlschemas/TrackPointExtension/v2";
inline constexpr const wchar_t* kSchemaInstanceNamespace = L"http://www.w3.org/2001/XMLSchema-instance";

// The same as views, for comparisons on the decoder's path that need no
// length count of the literal.
inline constexpr std::wstring_view kGarminNamespaceView = kGarminNamespace;
inline constexpr std::wstring_view kTrackPointV1NamespaceView = kTrackPointV1Namespace;
inline constexpr std::wstring_view kTrackPointV2NamespaceView = kTrackPointV2Namespace;
