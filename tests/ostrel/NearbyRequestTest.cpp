// The nearby-place request against a real HTTP server on 127.0.0.1.
#include <gtest/gtest.h>

#include <cpprest/http_listener.h>

#include <memory>
#include <mutex>
#include <string>

#include "ReverseGeoCode.h"
#include "TestSupport.h"
#include "StringUtil.h"

namespace {

using namespace web::http;

// Serves one configurable answer and remembers the request it got.
class FakeGeoNames {
public:
    FakeGeoNames() : port(testsupport::FreeLoopbackPort()), listener("http://127.0.0.1:" + std::to_string(port) + "/")
    {
        listener.support([this](http_request request) {
            std::string body;
            status_code status;
            {
                std::lock_guard<std::mutex> hold(lock);
                requestLine = request.method() + " " + request.request_uri().to_string();
                body = answer;
                status = answerStatus;
            }
            request.reply(status, body, contentType);
        });
        listener.open().wait();
    }
    ~FakeGeoNames() { listener.close().wait(); }

    std::wstring Address() const { return L"http://127.0.0.1:" + std::to_wstring(port) + L"/"; }
    void Answer(status_code status, std::string body, std::string type = "text/xml;charset=UTF-8")
    {
        std::lock_guard<std::mutex> hold(lock);
        answerStatus = status;
        answer = std::move(body);
        contentType = std::move(type);
    }
    std::string RequestLine()
    {
        std::lock_guard<std::mutex> hold(lock);
        return requestLine;
    }

private:
    int port;
    experimental::listener::http_listener listener;
    std::mutex lock;
    std::string requestLine;
    std::string answer;
    status_code answerStatus = status_codes::OK;
    std::string contentType;
};

class NearbyRequestTest : public testing::Test {
protected:
    static void SetUpTestSuite() { server = std::make_unique<FakeGeoNames>(); }
    static void TearDownTestSuite() { server.reset(); }
    void SetUp() override
    {
        CReverseGeoCode::SetServiceAddress(server->Address());
        CReverseGeoCode::SetUserName(L"tester");
    }

    // Runs the request as the program does; `names` starts at null.
    std::error_code Request(std::unique_ptr<CGeoNames>& names, GeoNameStyle style = FULL)
    {
        CGeoNames* raw = nullptr;
        const std::error_code error = CReverseGeoCode::GetNearbyLocation(&raw, 48.858844, -0.5, style, 5, 10);
        names.reset(raw);
        return error;
    }

    static std::unique_ptr<FakeGeoNames> server;
};

std::unique_ptr<FakeGeoNames> NearbyRequestTest::server;

const char* const kTwoPlaces =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<geonames>"
    "<geoname><name>Tour Eiffel</name><fcl>S</fcl><countryName>France</countryName></geoname>"
    "<geoname><name>Paris</name><fcl>P</fcl></geoname></geonames>";

TEST_F(NearbyRequestTest, SendsTheSixParametersInOrder)
{
    server->Answer(status_codes::OK, kTwoPlaces);
    CReverseGeoCode::SetUserName(L"a b&c");
    std::unique_ptr<CGeoNames> names;
    EXPECT_FALSE(Request(names));
    EXPECT_EQ("GET /findNearby?lat=48.858844&lng=-0.5&style=FULL&radius=5&maxRows=10&username=a%20b%26c",
              server->RequestLine());
}

class StyleWordTest : public NearbyRequestTest, public testing::WithParamInterface<std::pair<GeoNameStyle, std::string>> {};

TEST_P(StyleWordTest, SendsTheWordOfTheStyle)
{
    server->Answer(status_codes::OK, "<geonames/>");
    std::unique_ptr<CGeoNames> names;
    EXPECT_FALSE(Request(names, GetParam().first));
    EXPECT_NE(std::string::npos, server->RequestLine().find("&style=" + GetParam().second + "&"));
}

INSTANTIATE_TEST_SUITE_P(Styles, StyleWordTest,
                         testing::Values(std::make_pair(SHORT, "SHORT"), std::make_pair(MEDIUM, "MEDIUM"),
                                         std::make_pair(LONG, "LONG"), std::make_pair(FULL, "FULL")));

TEST_F(NearbyRequestTest, ParsesOneOrSeveralPlaces)
{
    server->Answer(status_codes::OK, kTwoPlaces);
    std::unique_ptr<CGeoNames> names;
    ASSERT_FALSE(Request(names));
    ASSERT_TRUE(names);
    ASSERT_EQ(2u, names->locations.size());
    EXPECT_EQ(L"Tour Eiffel", names->locations[0]->name);
    EXPECT_EQ(L"Paris", names->locations[1]->name);
}

struct BodyCase {
    const char* name;
    int status;
    std::string body;
    int places;  // -1: null list
};

void PrintTo(const BodyCase& c, std::ostream* out)
{
    *out << c.name;
}

class AnswerBodyTest : public NearbyRequestTest, public testing::WithParamInterface<BodyCase> {};

TEST_P(AnswerBodyTest, AnyHttpAnswerIsParsed)
{
    server->Answer(static_cast<status_code>(GetParam().status), GetParam().body);
    std::unique_ptr<CGeoNames> names;
    const std::error_code error = Request(names);
    EXPECT_EQ(0, error.value()) << error.message();
    if (GetParam().places < 0) {
        EXPECT_FALSE(names);
    } else {
        ASSERT_TRUE(names);
        EXPECT_EQ(static_cast<std::size_t>(GetParam().places), names->locations.size());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AnswerBodyTest,
    testing::Values(BodyCase{"EmptyRoot", 200, "<geonames></geonames>", 0},
                    BodyCase{"AnotherRootIsNoAnswer", 200, "<html><body>Sign in to the network</body></html>", -1},
                    BodyCase{"ServerErrorPage", 500, "<html><body><h1>Internal Server Error</h1><hr></body></html>", -1},
                    BodyCase{"CutOffMidElement", 200, "<geonames><geoname><name>Par", -1},
                    BodyCase{"DoctypeWithEntities",
                             200, "<!DOCTYPE geonames [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;'>]>"
                                  "<geonames><geoname><name>&b;</name></geoname></geonames>", -1},
                    BodyCase{"EmptyBody", 200, "", -1}),
    [](const testing::TestParamInfo<BodyCase>& info) { return std::string(info.param.name); });

TEST_F(NearbyRequestTest, KeepsTheServicesRefusal)
{
    server->Answer(status_codes::OK,
                   "<geonames><status message=\"user account not enabled to use the free webservice.\" value=\"10\"/></geonames>");
    std::unique_ptr<CGeoNames> names;
    ASSERT_FALSE(Request(names));
    ASSERT_TRUE(names);
    EXPECT_TRUE(names->locations.empty());
    EXPECT_TRUE(names->hasStatus);
    EXPECT_EQ(10, names->statusValue);
    EXPECT_EQ(L"user account not enabled to use the free webservice.", names->statusMessage);
}

TEST_F(NearbyRequestTest, AnAnswerLongerThanTheBufferIsRefused)
{
    std::string body = "<geonames>";
    while (body.size() < 70000)
        body += "<geoname><name>Paris</name><fcl>P</fcl></geoname>";
    body += "</geonames>";
    server->Answer(status_codes::OK, body);
    CGeoNames* names = reinterpret_cast<CGeoNames*>(1);
    const std::error_code error = CReverseGeoCode::GetNearbyLocation(&names, 1, 2, FULL, 5, 10);
    EXPECT_TRUE(error == std::errc::message_size) << error.message();
    EXPECT_EQ("the answer is too long", error.message());
    EXPECT_EQ(nullptr, names);
}

TEST_F(NearbyRequestTest, AnAnswerFillingTheBufferExactlyIsRead)
{
    std::string body = "<geonames><geoname><name>Paris</name></geoname>";
    const std::string end = "</geonames>";
    body += std::string(CReverseGeoCode::ReceiveBufferSize - body.size() - end.size(), ' ') + end;
    server->Answer(status_codes::OK, body);
    std::unique_ptr<CGeoNames> names;
    ASSERT_FALSE(Request(names));
    ASSERT_TRUE(names);
    EXPECT_EQ(1u, names->locations.size());
}

TEST(NearbyRequest, AClosedPortIsConnectionRefusedAndLeavesNamesAlone)
{
    CReverseGeoCode::SetServiceAddress(L"http://127.0.0.1:" + std::to_wstring(testsupport::FreeLoopbackPort()) + L"/");
    CReverseGeoCode::SetUserName(L"tester");
    CGeoNames* names = reinterpret_cast<CGeoNames*>(1);
    const std::error_code error = CReverseGeoCode::GetNearbyLocation(&names, 1, 2, FULL, 5, 10);
    EXPECT_EQ(OstrelErrc::ConnectionRefused, error) << error.message();
    EXPECT_EQ("connection refused", error.message());
    EXPECT_TRUE(error == std::errc::connection_refused);
    EXPECT_EQ(reinterpret_cast<CGeoNames*>(1), names);
}

TEST(NearbyRequest, AnInvalidServiceAddressIsAnErrorNotAnException)
{
    CReverseGeoCode::SetUserName(L"tester");
    CReverseGeoCode::SetServiceAddress(L"not a url");
    CGeoNames* names = reinterpret_cast<CGeoNames*>(1);
    EXPECT_TRUE(CReverseGeoCode::GetNearbyLocation(&names, 1, 2, FULL, 5, 10));
    EXPECT_EQ(nullptr, names);
    EXPECT_EQ(std::make_error_code(std::errc::invalid_argument),
              CReverseGeoCode::GetNearbyLocation(&names, 1, 2, static_cast<GeoNameStyle>(4), 5, 10));
}

}  // namespace
