// What a request does when the answer is not an ordinary one: it trickles
// in past the deadline, is cut off, redirects elsewhere; and the search of
// places by name. Against loopback servers started here.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "LoopbackServer.h"
#include "ReverseGeoCode.h"
#include "StringUtil.h"

namespace {

using namespace std::chrono_literals;

const std::string kOnePlace = "<geonames><geoname><name>Trickle</name><fcl>P</fcl></geoname></geonames>";

std::string Head(int status, const std::string& extra, std::size_t length)
{
    return "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Type: text/xml\r\nConnection: close\r\n" + extra +
           "Content-Length: " + std::to_string(length) + "\r\n\r\n";
}

CGeoNamesService Service(const std::wstring& address, int timeout = 10)
{
    CGeoNamesService service;
    service.address = address;
    service.user = L"tester";
    service.timeoutSeconds = timeout;
    return service;
}

std::error_code Nearby(const CGeoNamesService& service, std::unique_ptr<CGeoNames>& names)
{
    CGeoNames* raw = nullptr;
    const std::error_code error = CReverseGeoCode::GetNearbyLocation(service, &raw, 48.85, 2.35, FULL, 5, 10);
    names.reset(raw);
    return error;
}

TEST(Transport, AnAnswerTricklingInIsEndedAtTheDeadline)
{
    // One byte every 100 ms: each read is quick, the whole answer takes 7 s.
    std::atomic<std::size_t> sent{0};
    CLoopbackServer server([&](CLoopbackServer::Connection& c) {
        if (!c.Send(Head(200, "", kOnePlace.size()))) return;
        for (char byte : kOnePlace) {
            if (!c.Send(std::string(1, byte)) || !c.Pause(100ms)) return;
            ++sent;
        }
    });
    std::unique_ptr<CGeoNames> names;
    const std::error_code error = Nearby(Service(server.Address(), 1), names);
    EXPECT_EQ(OstrelErrc::TimedOut, error) << error.message();
    EXPECT_TRUE(error == std::errc::timed_out);
    EXPECT_LT(sent.load(), kOnePlace.size());
    EXPECT_FALSE(names);
}

TEST(Transport, AChunkedAnswerTricklingInIsEndedAtTheDeadline)
{
    // One chunk of one byte every 100 ms, never a last chunk: no length to
    // run out, only the deadline ends it.
    std::atomic<int> chunks{0};
    CLoopbackServer server([&](CLoopbackServer::Connection& c) {
        if (!c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nTransfer-Encoding: chunked\r\n\r\n")) return;
        for (int i = 0; i < 300; ++i) {
            if (!c.Send("1\r\n" + std::string(1, kOnePlace[static_cast<size_t>(i) % kOnePlace.size()]) + "\r\n") ||
                !c.Pause(100ms))
                return;
            ++chunks;
        }
    });
    std::unique_ptr<CGeoNames> names;
    const std::error_code error = Nearby(Service(server.Address(), 1), names);
    EXPECT_EQ(OstrelErrc::TimedOut, error) << error.message();
    EXPECT_LT(chunks.load(), 100);  // ended near the 1 s deadline, not after the 30 s the answer would take
    EXPECT_FALSE(names);
}

TEST(Transport, ARequestGivenUpByItsCallerEndsBeforeItsDeadline)
{
    // The server holds the request far past the test's patience; the caller
    // gives it up once the server has it.
    std::atomic_bool cancelled{false};
    std::atomic<int> heard{0};
    CLoopbackServer server([&](CLoopbackServer::Connection& c) {
        ++heard;
        c.Pause(60s);
    });
    std::thread giveUp([&] {
        while (heard.load() == 0) std::this_thread::yield();
        cancelled = true;
    });
    CGeoNames* names = reinterpret_cast<CGeoNames*>(1);
    const std::error_code error =
        CReverseGeoCode::GetNearbyLocation(Service(server.Address(), 60), &names, 48.85, 2.35, FULL, 5, 10, &cancelled);
    giveUp.join();
    EXPECT_EQ(OstrelErrc::Cancelled, error) << error.message();
    EXPECT_TRUE(error == std::errc::operation_canceled);
    EXPECT_EQ(reinterpret_cast<CGeoNames*>(1), names);  // untouched, as for every transport failure

    // Given up before it starts: nothing is sent.
    EXPECT_EQ(OstrelErrc::Cancelled, CReverseGeoCode::GetNearbyLocation(Service(server.Address()), &names, 1, 2, FULL,
                                                                        5, 10, &cancelled));
    EXPECT_EQ(1, server.Connections());
}

TEST(Transport, AServerThatSaysNothingIsEndedAtTheDeadline)
{
    CLoopbackServer server([](CLoopbackServer::Connection& c) { c.Pause(30s); });
    std::unique_ptr<CGeoNames> names;
    EXPECT_EQ(OstrelErrc::TimedOut, Nearby(Service(server.Address(), 1), names));
}

TEST(Transport, ABodyCutOffIsSaidSo)
{
    CLoopbackServer server([](CLoopbackServer::Connection& c) { c.Send(Head(200, "", 500) + "<geonames><geon"); });
    std::unique_ptr<CGeoNames> names;
    const std::error_code error = Nearby(Service(server.Address()), names);
    EXPECT_EQ(OstrelErrc::CutOff, error) << error.message() << " " << error.value();
    EXPECT_EQ("the answer was cut off", error.message());
}

TEST(Transport, ARedirectToAnotherHostIsNotFollowed)
{
    // 127.0.0.2 is another host on the loopback network.
    CLoopbackServer elsewhere([](CLoopbackServer::Connection& c) { c.Send(Head(200, "", kOnePlace.size()) + kOnePlace); },
                              "127.0.0.2");
    const std::string target = "http://127.0.0.2:" + std::to_string(elsewhere.Port()) + "/findNearby?lat=1";
    CLoopbackServer server([&](CLoopbackServer::Connection& c) { c.Send(Head(302, "Location: " + target + "\r\n", 0)); });
    std::unique_ptr<CGeoNames> names;
    const std::error_code error = Nearby(Service(server.Address()), names);
    EXPECT_EQ(OstrelErrc::RedirectedElsewhere, error) << error.message();
    EXPECT_EQ(0, elsewhere.Connections());
    EXPECT_FALSE(names);
}

TEST(Transport, ARedirectOnTheSameServiceIsFollowed)
{
    CLoopbackServer server([](CLoopbackServer::Connection& c) {
        if (c.Request().rfind("GET /moved/", 0) == 0)
            c.Send(Head(200, "", kOnePlace.size()) + kOnePlace);
        else
            c.Send(Head(301, "Location: /moved/findNearby?lat=1\r\n", 0));
    });
    std::unique_ptr<CGeoNames> names;
    const std::error_code error = Nearby(Service(server.Address()), names);
    ASSERT_FALSE(error) << error.message();
    ASSERT_TRUE(names);
    ASSERT_EQ(1u, names->locations.size());
    EXPECT_EQ(L"Trickle", names->locations[0]->name);
    EXPECT_EQ(2, server.Connections());
}

TEST(Transport, ARedirectLoopEnds)
{
    CLoopbackServer server([](CLoopbackServer::Connection& c) { c.Send(Head(307, "Location: /again\r\n", 0)); });
    std::unique_ptr<CGeoNames> names;
    EXPECT_EQ(OstrelErrc::TooManyRedirects, Nearby(Service(server.Address()), names));
}

TEST(Transport, NothingIsSentWithoutAnAccount)
{
    CLoopbackServer server([](CLoopbackServer::Connection& c) { c.Send(Head(200, "", kOnePlace.size()) + kOnePlace); });
    CGeoNamesService service = Service(server.Address());
    service.user.clear();
    CGeoNames* names = reinterpret_cast<CGeoNames*>(1);
    EXPECT_EQ(OstrelErrc::NoAccount, CReverseGeoCode::GetNearbyLocation(service, &names, 1, 2, FULL, 5, 10));
    EXPECT_EQ(nullptr, names);
    EXPECT_EQ(0, server.Connections());
}

TEST(Transport, SearchAsksForPopulatedPlacesByName)
{
    const std::string answer = "<geonames><totalResultsCount>2</totalResultsCount>"
                               "<geoname><name>Sèvres</name><lat>48.82</lat><lng>2.21</lng><countryCode>FR</countryCode>"
                               "<adminName1>Île-de-France</adminName1><fcl>P</fcl></geoname>"
                               "<geoname><name>Sèvres-Anxaumont</name><countryCode>FR</countryCode></geoname></geonames>";
    CLoopbackServer server([&](CLoopbackServer::Connection& c) { c.Send(Head(200, "", answer.size()) + answer); });
    CGeoNames* raw = nullptr;
    const std::error_code error = CReverseGeoCode::SearchPlaces(Service(server.Address()), &raw, L"Sèvres x&y", 5);
    std::unique_ptr<CGeoNames> names(raw);
    ASSERT_FALSE(error) << error.message();
    EXPECT_EQ(0u, server.LastRequest().find("GET /search?q=S%C3%A8vres%20x%26y&featureClass=P&style=LONG&"
                                            "isNameRequired=true&maxRows=5&username=tester HTTP/1.1\r\n"))
        << server.LastRequest();
    ASSERT_TRUE(names);
    ASSERT_EQ(2u, names->locations.size());
    EXPECT_EQ(L"Île-de-France", names->locations[0]->adminName1);
    EXPECT_DOUBLE_EQ(48.82, names->locations[0]->lat);

    CGeoNames* none = reinterpret_cast<CGeoNames*>(1);
    EXPECT_EQ(std::make_error_code(std::errc::invalid_argument),
              CReverseGeoCode::SearchPlaces(Service(server.Address()), &none, L"", 5));
}

TEST(Transport, AServiceAddressWithAPathKeepsIt)
{
    CLoopbackServer server([](CLoopbackServer::Connection& c) { c.Send(Head(200, "", 11) + "<geonames/>"); });
    std::unique_ptr<CGeoNames> names;
    std::wstring address = server.Address() + L"api/";
    ASSERT_FALSE(Nearby(Service(address), names));
    EXPECT_EQ(0u, server.LastRequest().find("GET /api/findNearby?lat=48.85&")) << server.LastRequest();
}

}  // namespace
