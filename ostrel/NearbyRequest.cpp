// The HTTP exchange of CReverseGeoCode::GetNearbyLocation; the only file that
// sees the HTTP client's headers.
#include <cpprest/http_client.h>
#include <cpprest/rawptrstream.h>

#include <memory>
#include <vector>

#include "ReverseGeoCode.h"
#include "StringUtil.h"

namespace {

const char* const kStyleWords[] = {"SHORT", "MEDIUM", "LONG", "FULL"};

// Failures that are not the transport's.
class OstrelErrorCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "ostrel"; }
    std::string message(int) const override { return "the request could not be made"; }
};

const OstrelErrorCategory ostrelCategory;

// A write into the fixed buffer can only fail for want of room; the client
// then closes the stream (this call closes it only after success).
bool Overflowed(concurrency::streams::rawptr_buffer<std::uint8_t>& body)
{
    return !body.is_open() ||
           static_cast<std::size_t>(body.getpos(std::ios::out)) >= CReverseGeoCode::ReceiveBufferSize;
}

}  // namespace

std::error_code CReverseGeoCode::GetNearbyLocation(CGeoNames** names, double lat, double lng, GeoNameStyle style,
                                                   int radius, int maxRows)
{
    if (!names || style < SHORT || style > FULL)
        return std::make_error_code(std::errc::invalid_argument);

    // The body goes straight into a fixed buffer: an answer can never make
    // this call allocate more than the buffer.
    std::vector<std::uint8_t> buffer(ReceiveBufferSize, 0);
    std::size_t received = 0;
    concurrency::streams::rawptr_buffer<std::uint8_t> body(buffer.data(), buffer.size(), std::ios::out);
    try {
        using namespace web;
        uri_builder query(U("/findNearby"));
        query.append_query(U("lat"), FormatCoordinate(lat), true)
            .append_query(U("lng"), FormatCoordinate(lng), true)
            .append_query(U("style"), kStyleWords[style], true)
            .append_query(U("radius"), std::to_string(radius), true)
            .append_query(U("maxRows"), std::to_string(maxRows), true)
            .append_query(U("username"), WideToUtf8(GetUserName()), true);
        http::client::http_client client(WideToUtf8(GetServiceAddress()));
        http::http_request request(http::methods::GET);
        request.set_request_uri(query.to_uri());
        request.set_response_stream(concurrency::streams::ostream(body));
        client.request(request)
            .then([](http::http_response response) { return response.content_ready(); })
            .then([&](http::http_response) {
                received = static_cast<std::size_t>(body.getpos(std::ios::out));
                return body.close();
            })
            .get();
    } catch (const web::http::http_exception& e) {
        return e.error_code();  // the transport's failure; *names untouched
    } catch (const std::exception&) {
        // A body that does not fit fails the client's write into the buffer:
        // not a transport failure, and never a truncated parse.
        *names = nullptr;
        if (Overflowed(body))
            return std::make_error_code(std::errc::message_size);
        return std::error_code(1, ostrelCategory);
    }

    // The parser gets the bytes received, not the zeros after them: libxml2
    // reads ahead of the root's end tag and would fail on trailing NULs.
    *names = nullptr;
    auto bytes = std::make_unique<char[]>(received);
    std::copy(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(received), bytes.get());
    CGeoNamesXmlParser parser(bytes.release(), static_cast<std::uint32_t>(received));
    if (SUCCEEDED(parser.Initialize()))
        parser.ReadGeoNames(names);
    parser.Finalize();
    return std::error_code(0, std::system_category());
}
