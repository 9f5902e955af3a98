// The HTTP exchange with the service; the only file that sees the HTTP
// client's headers.
#include "GeoNamesExchange.h"

#include <cpprest/http_client.h>
#include <cpprest/rawptrstream.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>

#include "ConnectDiagnosis.h"
#include "OstrelErrors.h"
#include "StringUtil.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMaxRedirects = 3;
// How often a waiting request looks whether its caller gave it up.
constexpr std::chrono::milliseconds kCancelPoll(50);

// The client reports socket failures as their errno values (some converted
// from its own categories: its end-of-stream becomes 2) and names the
// stage that failed in its message; both are needed to say what happened.
std::error_code DescribeTransportFailure(const std::error_code& code, const char* what)
{
    const std::string text = what ? what : "";
    if (text.find("rror resolving address") != std::string::npos || text.find("to resolve address") != std::string::npos)
        return OstrelErrc::HostNotFound;
    switch (code.value()) {
    case ECONNREFUSED: return OstrelErrc::ConnectionRefused;
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN: return OstrelErrc::NetworkUnreachable;
    case ETIMEDOUT: return OstrelErrc::TimedOut;
    case ECONNRESET:
    case EPIPE: return OstrelErrc::ConnectionReset;
    case ECANCELED: return OstrelErrc::TimedOut;  // only our deadline cancels
    case ENOENT: return OstrelErrc::CutOff;       // the client's end of stream
    default: break;
    }
    if (text.find("Content-Length") != std::string::npos || text.find("read") != std::string::npos ||
        text.find("close early") != std::string::npos)
        return OstrelErrc::CutOff;
    return OstrelErrc::Failed;
}

// Signalled when the request chain has ended, however it ended.
struct Completion {
    std::mutex Lock;
    std::condition_variable Done;
    bool Finished = false;
};

struct Hop {
    web::uri Base;           // scheme, host and port
    std::string PathAndQuery;
};

std::optional<Hop> SplitTarget(const web::uri& target)
{
    if (target.scheme() != "http" && target.scheme() != "https") return std::nullopt;
    if (target.host().empty()) return std::nullopt;
    web::uri_builder base;
    base.set_scheme(target.scheme()).set_host(target.host()).set_port(target.port());
    std::string rest = target.path().empty() ? "/" : target.path();
    if (!target.query().empty()) rest += "?" + target.query();
    return Hop{base.to_uri(), rest};
}

int PortOf(const web::uri& u)
{
    if (u.port() > 0) return u.port();
    return u.scheme() == "https" ? 443 : 80;
}

// The same host and port, or the same host upgraded from http to https.
bool SameService(const web::uri& from, const web::uri& to)
{
    if (!EqualsNoCase(Utf8ToWide(from.host()), Utf8ToWide(to.host()))) return false;
    if (PortOf(from) == PortOf(to) && from.scheme() == to.scheme()) return true;
    return from.scheme() == "http" && to.scheme() == "https" && PortOf(from) == 80 && PortOf(to) == 443;
}

bool IsRedirect(web::http::status_code status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

int PortOf(const web::uri& u);

// Waits until the chain has ended, the deadline has passed or the caller
// gave the request up; true when the chain ended.
bool WaitForChain(Completion& completion, Clock::time_point deadline, const std::atomic_bool* cancelled)
{
    std::unique_lock<std::mutex> hold(completion.Lock);
    for (;;) {
        if (completion.Finished) return true;
        const Clock::time_point now = Clock::now();
        if (now >= deadline || (cancelled && cancelled->load())) return false;
        completion.Done.wait_until(hold, std::min(deadline, now + kCancelPoll));
    }
}

// A connect failure as the client reports it says nothing useful: ask the socket.
std::error_code DescribeFailure(const web::http::http_exception& e, const web::uri& base,
                                Clock::time_point deadline)
{
    const std::error_code described = DescribeTransportFailure(e.error_code(), e.what());
    if (std::string(e.what()).find("connect") == std::string::npos) return described;
    const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    const std::error_code diagnosed = DiagnoseConnect(base.host(), PortOf(base), remaining);
    return diagnosed ? diagnosed : described;
}

// One request without following redirects; `location` is set for a redirect.
std::error_code FetchOnce(const Hop& hop, Clock::time_point deadline, const std::atomic_bool* cancelled,
                          std::vector<char>& buffer, std::size_t& received, std::optional<std::string>& location)
{
    using namespace web::http;
    if (cancelled && cancelled->load()) return OstrelErrc::Cancelled;
    const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (remaining.count() <= 0) return OstrelErrc::TimedOut;

    std::fill(buffer.begin(), buffer.end(), 0);
    concurrency::streams::rawptr_buffer<std::uint8_t> body(reinterpret_cast<std::uint8_t*>(buffer.data()),
                                                           buffer.size(), std::ios::out);
    client::http_client_config config;
    config.set_timeout(remaining);  // per operation; the deadline below covers the whole
    config.set_max_redirects(0);    // the client would follow them anywhere: FetchFromService decides
    pplx::cancellation_token_source cancel;
    auto completion = std::make_shared<Completion>();
    status_code status = 0;
    pplx::task<void> chain;
    std::optional<client::http_client> client;  // lives until the chain has ended
    try {
        client.emplace(hop.Base, config);
        http_request request(methods::GET);
        request.set_request_uri(hop.PathAndQuery);
        request.set_response_stream(concurrency::streams::ostream(body));
        chain = client->request(request, cancel.get_token())
                    .then([&](http_response response) {
                        status = response.status_code();
                        if (IsRedirect(status) && response.headers().has(header_names::location))
                            location = response.headers().find(header_names::location)->second;
                        return response.content_ready();
                    })
                    .then([&](http_response) {
                        received = static_cast<std::size_t>(body.getpos(std::ios::out));
                        return body.close();
                    });
    } catch (const std::exception&) {
        return OstrelErrc::BadAddress;
    }
    auto signalled = chain.then([completion](pplx::task<void>) {
        std::lock_guard<std::mutex> hold(completion->Lock);
        completion->Finished = true;
        completion->Done.notify_all();
    });
    const bool inTime = WaitForChain(*completion, deadline, cancelled);
    // An answer still trickling in at the deadline (or given up by the
    // caller) is ended here: cancelling closes the connection, and the chain
    // then ends at once.
    if (!inTime) cancel.cancel();
    signalled.wait();
    const bool givenUp = !inTime && cancelled && cancelled->load();
    try {
        chain.get();  // observed whatever happened: an unobserved failure would end the program
    } catch (const http_exception& e) {
        if (givenUp) return OstrelErrc::Cancelled;
        if (!inTime) return OstrelErrc::TimedOut;
        return DescribeFailure(e, hop.Base, deadline);
    } catch (const pplx::task_canceled&) {
        return givenUp ? OstrelErrc::Cancelled : OstrelErrc::TimedOut;
    } catch (const std::exception&) {
        if (givenUp) return OstrelErrc::Cancelled;
        if (!inTime) return OstrelErrc::TimedOut;
        // A body that does not fit fails the client's write into the buffer.
        if (!body.is_open() || static_cast<std::size_t>(body.getpos(std::ios::out)) >= buffer.size())
            return OstrelErrc::AnswerTooLong;
        return OstrelErrc::Failed;
    }
    if (givenUp) return OstrelErrc::Cancelled;
    return {};
}

}  // namespace

std::string EncodeQueryValue(const std::string& utf8)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : utf8) {
        if (std::isalnum(c) && c < 0x80) {
            out += static_cast<char>(c);
        } else if (c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::error_code FetchFromService(const CGeoNamesService& service, const std::string& pathAndQuery,
                                 std::vector<char>& body, const std::atomic_bool* cancelled)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(std::max(1, service.timeoutSeconds));
    std::optional<Hop> hop;
    try {
        const web::uri address(WideToUtf8(service.address));
        hop = SplitTarget(address);
        if (hop) {
            // The service address may carry a path of its own ("http://host/api/").
            std::string prefix = address.path();
            while (!prefix.empty() && prefix.back() == '/') prefix.pop_back();
            hop->PathAndQuery = prefix + pathAndQuery;
        }
    } catch (const std::exception&) {
        hop.reset();
    }
    if (!hop) return OstrelErrc::BadAddress;

    std::vector<char> buffer(CReverseGeoCode::ReceiveBufferSize);
    for (int redirects = 0;; ++redirects) {
        std::size_t received = 0;
        std::optional<std::string> location;
        if (const std::error_code error = FetchOnce(*hop, deadline, cancelled, buffer, received, location)) return error;
        if (!location) {
            body.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(received));
            return {};
        }
        if (redirects == kMaxRedirects) return OstrelErrc::TooManyRedirects;
        std::optional<Hop> next;
        try {
            const web::uri target(*location);
            std::string base = hop->Base.to_string();
            while (!base.empty() && base.back() == '/') base.pop_back();
            next = SplitTarget(!target.scheme().empty() ? target : web::uri(base + *location));
        } catch (const std::exception&) {
            next.reset();
        }
        if (!next || !SameService(hop->Base, next->Base)) return OstrelErrc::RedirectedElsewhere;
        hop = std::move(next);
    }
}
