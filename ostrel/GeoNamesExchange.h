// One exchange with the GeoNames service: a GET relative to the service's
// address, the whole of it (redirects, body) within the service's deadline,
// the body into a buffer of CReverseGeoCode::ReceiveBufferSize bytes.
// Internal to the library.
#pragma once

#include <atomic>
#include <string>
#include <system_error>
#include <vector>

#include "ReverseGeoCode.h"

// `pathAndQuery` starts with '/' and is already encoded. A redirect is
// followed only to the same host and port (or from http to https on the
// same host); any other is RedirectedElsewhere. Failures are OstrelErrc
// codes; any HTTP answer is success, whatever its status. Once `*cancelled`
// becomes true the exchange is ended (OstrelErrc::Cancelled).
std::error_code FetchFromService(const CGeoNamesService& service, const std::string& pathAndQuery,
                                 std::vector<char>& body, const std::atomic_bool* cancelled = nullptr);

// A query parameter's value, percent-encoded (RFC 3986 unreserved characters kept).
std::string EncodeQueryValue(const std::string& utf8);

// Parses a GeoNames answer; S_OK with a list, or null names for a body
// that is not a complete document.
void ParseGeoNames(const std::vector<char>& body, CGeoNames** names);
