// The account test and the search of places by name, against loopback
// servers and the offline places index the build made.
#include <gtest/gtest.h>

#include <filesystem>

#include "AccountCheck.h"
#include "LoopbackServer.h"
#include "PlaceSearch.h"

namespace {

std::function<void(CLoopbackServer::Connection&)> Answer(const std::string& body)
{
    return [body](CLoopbackServer::Connection& c) {
        c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n\r\n" + body);
    };
}

std::string Status(int value, const std::string& message)
{
    return "<geonames><status message=\"" + message + "\" value=\"" + std::to_string(value) + "\"/></geonames>";
}

GeocodingConfig Config(const std::wstring& address, AddressSource source = AddressSource::Online)
{
    GeocodingConfig config;
    config.Service.address = address;
    config.Service.user = L"tester";
    config.Service.timeoutSeconds = 5;
    config.Source = source;
    config.PlacesIndexPath = QStringLiteral(CORVANE_PLACES_INDEX);
    return config;
}

std::wstring ClosedPort()
{
    CLoopbackServer gone([](CLoopbackServer::Connection&) {});
    return gone.Address();  // nobody listens there once it is gone
}

#define REQUIRE_INDEX()                                                                                          \
    ASSERT_TRUE(std::filesystem::is_regular_file(CORVANE_PLACES_INDEX))                                           \
        << "the offline places index was not built (" CORVANE_PLACES_INDEX "): the build fetches its data from " \
           "the npm registry; build again with the registry reachable"

struct AccountCase {
    const char* name;
    std::string body;  // empty: nobody listens
    AccountState state;
    const char* text;
};

void PrintTo(const AccountCase& c, std::ostream* out)
{
    *out << c.name;
}

class AccountCheckTest : public testing::TestWithParam<AccountCase> {};

TEST_P(AccountCheckTest, SaysWhatTheServiceSaid)
{
    std::unique_ptr<CLoopbackServer> server;
    std::wstring address = ClosedPort();
    if (!GetParam().body.empty()) {
        server = std::make_unique<CLoopbackServer>(Answer(GetParam().body));
        address = server->Address();
    }
    const AccountCheck check = CheckGeoNamesAccount(Config(address).Service);
    EXPECT_EQ(GetParam().state, check.State);
    EXPECT_EQ(QString::fromUtf8(GetParam().text), check.Text);
    if (server) {
        EXPECT_NE(std::string::npos, server->LastRequest().find("&username=tester ")) << server->LastRequest();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AccountCheckTest,
    testing::Values(
        AccountCase{"Works", "<geonames><geoname><name>Zurich</name></geoname></geonames>", AccountState::Works, "works"},
        AccountCase{"Unknown", Status(10, "user does not exist."), AccountState::UnknownAccount, "unknown account"},
        AccountCase{"NotEnabled",
                    Status(10, "user account not enabled to use the free webservice. Please enable it on your account page"),
                    AccountState::NotEnabled, "web services not enabled for this account"},
        AccountCase{"NobodyListens", "", AccountState::Unreachable, "connection refused"},
        AccountCase{"NotGeoNames", "<html>Welcome to the train's network</html>", AccountState::Unreachable,
                    "the answer is not a GeoNames answer"}),
    [](const testing::TestParamInfo<AccountCase>& info) { return std::string(info.param.name); });

TEST(AccountCheck, NoAccountAsksNothing)
{
    GeocodingConfig config = Config(ClosedPort());
    config.Service.user.clear();
    EXPECT_EQ(AccountState::NoAccount, CheckGeoNamesAccount(config.Service).State);
}

TEST(PlaceSearch, OnlineTheServiceAnswers)
{
    CLoopbackServer server(Answer("<geonames><geoname><name>Sèvres</name><lat>48.82</lat><lng>2.21</lng>"
                                  "<countryCode>FR</countryCode><countryName>France</countryName>"
                                  "<adminName1>Île-de-France</adminName1></geoname></geonames>"));
    CPlaceSearch search([&] { return Config(server.Address()); });
    const PlaceSearchResult result = search.Search(QStringLiteral(" Sèvres "), 3);
    EXPECT_FALSE(result.Offline);
    EXPECT_TRUE(result.Problem.isEmpty()) << result.Problem.toStdString();
    ASSERT_EQ(1u, result.Places.size());
    EXPECT_EQ(QStringLiteral("Sèvres"), result.Places[0].Name);
    EXPECT_EQ(QStringLiteral("Île-de-France"), result.Places[0].Division);
    EXPECT_EQ(QStringLiteral("FR"), result.Places[0].CountryCode);
    EXPECT_DOUBLE_EQ(48.82, result.Places[0].Lat);
    EXPECT_NE(std::string::npos, server.LastRequest().find("GET /search?q=S%C3%A8vres&")) << server.LastRequest();
}

TEST(PlaceSearch, TheOfflinePlacesAnswerWhenTheServiceCannot)
{
    REQUIRE_INDEX();
    CLoopbackServer refusing(Answer(Status(19, "the hourly limit of 1000 credits has been exceeded.")));
    for (const std::wstring& address : {ClosedPort(), refusing.Address()}) {
        CPlaceSearch search([&] { return Config(address); });
        const PlaceSearchResult result = search.Search(QStringLiteral("sèvres"), 3);
        EXPECT_TRUE(result.Offline);
        EXPECT_FALSE(result.Problem.isEmpty());
        ASSERT_FALSE(result.Places.empty());
        EXPECT_EQ(QStringLiteral("Sèvres"), result.Places[0].Name);
        EXPECT_EQ(QStringLiteral("Île-de-France"), result.Places[0].Division);
        EXPECT_EQ(QStringLiteral("FR"), result.Places[0].CountryCode);
        EXPECT_NEAR(48.82, result.Places[0].Lat, 0.01);
    }
    CPlaceSearch closed([] { return Config(ClosedPort()); });
    EXPECT_EQ(QStringLiteral("GeoNames could not be reached: connection refused"),
              closed.Search(QStringLiteral("Paris")).Problem);
}

TEST(PlaceSearch, OfflineAsksNobody)
{
    REQUIRE_INDEX();
    CLoopbackServer server(Answer("<geonames/>"));
    CPlaceSearch search([&] { return Config(server.Address(), AddressSource::Offline); });
    const PlaceSearchResult result = search.Search(QStringLiteral("ŁÓDŹ"), 2);
    EXPECT_EQ(0, server.Connections());
    EXPECT_TRUE(result.Offline);
    EXPECT_TRUE(result.Problem.isEmpty());
    ASSERT_FALSE(result.Places.empty());
    EXPECT_EQ(QStringLiteral("Łódź"), result.Places[0].Name);
    EXPECT_TRUE(search.Search(QStringLiteral("   "), 2).Places.empty());
}

TEST(PlaceSearch, AMissingIndexIsSaid)
{
    GeocodingConfig config = Config(L"", AddressSource::Offline);
    config.PlacesIndexPath = QStringLiteral("/nonexistent/places.bin");
    CPlaceSearch search([&] { return config; });
    const PlaceSearchResult result = search.Search(QStringLiteral("Paris"));
    EXPECT_TRUE(result.Places.empty());
    EXPECT_TRUE(result.Problem.startsWith(QStringLiteral("the offline places index is not installed")))
        << result.Problem.toStdString();
}

}  // namespace
