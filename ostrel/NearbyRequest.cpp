// The two requests of CReverseGeoCode: the places near a coordinate
// ("findNearby") and the places of a name ("search").
#include <memory>
#include <mutex>

#include "GeoNamesExchange.h"
#include "OstrelErrors.h"
#include "StringUtil.h"
#include "XmlPullReader.h"

namespace {

const char* const kStyleWords[] = {"SHORT", "MEDIUM", "LONG", "FULL"};

// Runs one request and parses its answer. Nothing is sent without an
// account: the service would only refuse it.
std::error_code Ask(const CGeoNamesService& service, const std::string& pathAndQuery, CGeoNames** names,
                    const std::atomic_bool* cancelled = nullptr)
{
    if (service.user.empty()) {
        *names = nullptr;
        return OstrelErrc::NoAccount;
    }
    std::vector<char> body;
    const std::error_code error = FetchFromService(service, pathAndQuery, body, cancelled);
    if (error == OstrelErrc::BadAddress || error == OstrelErrc::AnswerTooLong || error == OstrelErrc::Failed) {
        *names = nullptr;  // not the transport's failure: the answer, if any, is unusable
        return error;
    }
    if (error) return error;  // transport: *names untouched
    ParseGeoNames(body, names);
    return std::error_code(0, std::system_category());
}

// Whether the document's root is the service's "geonames": a proxy's or a
// hotel network's page may well be well-formed XML too.
bool HasGeoNamesRoot(const std::vector<char>& body)
{
    CXmlPullReader reader;
    if (FAILED(reader.OpenMemory(body.data(), body.size()))) return false;
    while (reader.Read() == S_OK)
        if (reader.NodeType() == XmlNodeType::Element) return reader.LocalName() == L"geonames";
    return false;
}

}  // namespace

void ParseGeoNames(const std::vector<char>& body, CGeoNames** names)
{
    // The parser gets the bytes received, not a padded buffer: libxml2 reads
    // ahead of the root's end tag and would fail on trailing NULs.
    *names = nullptr;
    if (!HasGeoNamesRoot(body)) return;
    auto bytes = std::make_unique<char[]>(body.size());
    std::copy(body.begin(), body.end(), bytes.get());
    CGeoNamesXmlParser parser(bytes.release(), static_cast<std::uint32_t>(body.size()));
    if (SUCCEEDED(parser.Initialize())) parser.ReadGeoNames(names);
    parser.Finalize();
}

std::error_code CReverseGeoCode::GetNearbyLocation(CGeoNames** names, double lat, double lng, GeoNameStyle style,
                                                   int radius, int maxRows)
{
    return GetNearbyLocation(GetService(), names, lat, lng, style, radius, maxRows);
}

std::error_code CReverseGeoCode::GetNearbyLocation(const CGeoNamesService& service, CGeoNames** names, double lat,
                                                   double lng, GeoNameStyle style, int radius, int maxRows)
{
    return GetNearbyLocation(service, names, lat, lng, style, radius, maxRows, nullptr);
}

std::error_code CReverseGeoCode::GetNearbyLocation(const CGeoNamesService& service, CGeoNames** names, double lat,
                                                   double lng, GeoNameStyle style, int radius, int maxRows,
                                                   const std::atomic_bool* cancelled)
{
    if (!names || style < SHORT || style > FULL) return std::make_error_code(std::errc::invalid_argument);
    const std::string query = "/findNearby?lat=" + EncodeQueryValue(FormatCoordinate(lat)) +
                              "&lng=" + EncodeQueryValue(FormatCoordinate(lng)) + "&style=" + kStyleWords[style] +
                              "&radius=" + std::to_string(radius) + "&maxRows=" + std::to_string(maxRows) +
                              "&username=" + EncodeQueryValue(WideToUtf8(service.user));
    return Ask(service, query, names, cancelled);
}

std::error_code CReverseGeoCode::SearchPlaces(CGeoNames** names, const std::wstring& name, int maxRows)
{
    return SearchPlaces(GetService(), names, name, maxRows);
}

std::error_code CReverseGeoCode::SearchPlaces(const CGeoNamesService& service, CGeoNames** names,
                                              const std::wstring& name, int maxRows)
{
    if (!names || name.empty() || maxRows <= 0) return std::make_error_code(std::errc::invalid_argument);
    // Populated places only ("P"), by relevance: what a search box is for.
    const std::string query = "/search?q=" + EncodeQueryValue(WideToUtf8(name)) +
                              "&featureClass=P&style=LONG&isNameRequired=true&maxRows=" + std::to_string(maxRows) +
                              "&username=" + EncodeQueryValue(WideToUtf8(service.user));
    return Ask(service, query, names);
}
