// A request the user gave up is nothing: not an address, not a refusal, not
// a reason to go offline, and not a question for the offline places either.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "AddressLookup.h"
#include "LoopbackServer.h"

namespace {

struct CancelCase {
    const char* name;
    bool cancelBeforeAsking;  // else: given up while the server holds the request
    int connections;          // what the server saw
};

void PrintTo(const CancelCase& c, std::ostream* out)
{
    *out << c.name;
}

class AddressLookupCancelTest : public testing::TestWithParam<CancelCase> {};

TEST_P(AddressLookupCancelTest, AGivenUpRequestCountsForNothing)
{
    ASSERT_TRUE(std::filesystem::is_regular_file(CORVANE_PLACES_INDEX)) << "the offline places index was not built";
    const CancelCase& c = GetParam();
    std::atomic_bool cancelled{c.cancelBeforeAsking};
    // The server never answers: the user gives up once it holds the request.
    CLoopbackServer server([&cancelled](CLoopbackServer::Connection& connection) {
        cancelled = true;
        connection.Pause(std::chrono::seconds(30));
    });
    GeocodingConfig config;
    config.Service.address = server.Address();
    config.Service.user = L"tester";
    config.Service.timeoutSeconds = 20;
    config.Source = AddressSource::Online;
    config.PlacesIndexPath = QStringLiteral(CORVANE_PLACES_INDEX);  // would name Wellington if it were asked
    CAddressLookup lookup(config, nullptr);
    lookup.SetCancelFlag(&cancelled);

    const AddressAnswer answer = lookup.Find(-41.2865, 174.7762);

    EXPECT_EQ(answer.Origin, AddressOrigin::NotAsked);
    EXPECT_FALSE(answer.Fields.Found());
    EXPECT_EQ(lookup.Refusal(), RefusalKind::None);
    EXPECT_FALSE(lookup.Stopped());
    EXPECT_TRUE(lookup.UsesService()) << "a cancelled request is not the service's failure";
    EXPECT_TRUE(lookup.Problem().isEmpty()) << lookup.Problem().toStdString();
    EXPECT_EQ(lookup.Summary(), QStringLiteral("No picture with coordinates to find an address for"))
        << lookup.Summary().toStdString();
    EXPECT_EQ(server.Connections(), c.connections);
}

INSTANTIATE_TEST_SUITE_P(Cancel, AddressLookupCancelTest,
                         testing::Values(CancelCase{"WhileTheServerHoldsTheRequest", false, 1},
                                         CancelCase{"BeforeTheRequestIsSent", true, 0}),
                         [](const testing::TestParamInfo<CancelCase>& info) { return info.param.name; });

}  // namespace
