// Address retrieval against a real HTTP server on 127.0.0.1, the address
// cache and the offline places index the build made.
#include <gtest/gtest.h>

#include <cpprest/http_listener.h>

#include <cmath>
#include <mutex>

#include "CorvaneDoc.h"
#include "FakeUserInterface.h"
#include "StringUtil.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;
using namespace web::http;

std::string Place(const std::string& name, const std::string& fcl)
{
    return "<geoname><toponymName>" + name + "</toponymName><name>" + name + "</name><lat>43.46</lat><lng>11.88</lng>"
           "<countryCode>IT</countryCode><countryName>Italia</countryName><fcl>" + fcl +
           "</fcl><adminName1>Toscana</adminName1></geoname>";
}

std::string Status(int value, const std::string& message)
{
    return "<geonames><status message=\"" + message + "\" value=\"" + std::to_string(value) + "\"/></geonames>";
}

// Answers request n (counting from 1) with what the responder says, and
// remembers the last query.
class FakeService {
public:
    using Responder = std::function<std::string(int request)>;
    FakeService() : port_(testsupport::FreeLoopbackPort()), listener_("http://127.0.0.1:" + std::to_string(port_) + "/")
    {
        listener_.support([this](http_request request) {
            std::string body;
            {
                std::lock_guard<std::mutex> hold(lock_);
                ++requests_;
                lastQuery_ = request.request_uri().query();
                body = responder_(requests_);
            }
            request.reply(status_codes::OK, body, "text/xml;charset=UTF-8");
        });
        listener_.open().wait();
    }
    ~FakeService() { Stop(); }
    void Stop()
    {
        if (open_) listener_.close().wait();
        open_ = false;
    }
    std::wstring Address() const { return L"http://127.0.0.1:" + std::to_wstring(port_) + L"/"; }
    void Answer(std::string body)
    {
        Respond([body](int) { return body; });
    }
    void Respond(Responder responder)
    {
        std::lock_guard<std::mutex> hold(lock_);
        responder_ = std::move(responder);
    }
    int Requests()
    {
        std::lock_guard<std::mutex> hold(lock_);
        return requests_;
    }
    std::string LastQuery()
    {
        std::lock_guard<std::mutex> hold(lock_);
        return lastQuery_;
    }

private:
    int port_;
    experimental::listener::http_listener listener_;
    bool open_ = true;
    std::mutex lock_;
    Responder responder_ = [](int) { return "<geonames>" + Place("Arezzo", "P") + "</geonames>"; };
    int requests_ = 0;
    std::string lastQuery_;
};

class AddressTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_SAMPLES();
        for (const char* name : {"DSCN0010.jpg", "DSCN0012.jpg", "DSCN0021.jpg"})
            dir.Copy(SamplesDir() / "pictures/gps" / name);
        dir.Copy(SamplesDir() / "pictures/cameras/Canon_40D.jpg");  // no coordinates
        settings.SetString("GeoNamesServer", service.Address());
        settings.SetString("GeoNamesUser", L"tester");
        doc.SetAddressCachePath((cacheDir / "addresses.sqlite").string());
        ASSERT_EQ(doc.OnNavigationComplete(dir.Path().string()), S_OK);
        doc.LoadFolder();
        a = IndexOf(L"DSCN0010.jpg");
        b = IndexOf(L"DSCN0012.jpg");
        c = IndexOf(L"DSCN0021.jpg");
        ASSERT_TRUE(a >= 0 && b >= 0 && c >= 0);
    }
    int IndexOf(const wchar_t* name) { return doc.FindItemByName(name); }
    const std::wstring* City(int index) { return doc.Item(index).Current()->City; }
    // Moves a picture, in memory, to the coordinate.
    void PlaceAt(int index, double lat, double lng)
    {
        CGPSMetadataInfo* r = doc.Item(index).Current();
        *r->Latitude = {std::fabs(lat), 0, 0, lat < 0 ? 'S' : 'N'};
        *r->Longitude = {std::fabs(lng), 0, 0, lng < 0 ? 'W' : 'E'};
    }
    void RequireIndex()
    {
        ASSERT_TRUE(fs::is_regular_file(CORVANE_PLACES_INDEX))
            << "the offline places index was not built (" CORVANE_PLACES_INDEX "): the build fetches its data from "
               "the npm registry; build again with the registry reachable";
    }

    FakeService service;
    int a = -1, b = -1, c = -1;  // the pictures with coordinates
    TempDir dir, cacheDir;
    FakeUserInterface ui;
    CMemorySettingsStore settings;
    CCorvaneDoc doc{ui, settings};
};

TEST_F(AddressTest, SelectedRowsOfASortedTableGetTheirAddress)
{
    // Rows sorted in reverse; the selection is rows 1 and 3 (DSCN0012 and the
    // picture without coordinates, which asks nothing).
    doc.RowOrder() = {3, 2, 1, 0};
    std::vector<int> selected{doc.RowOrder()[1], doc.RowOrder()[3]};
    doc.ReverseGeocode(selected);
    EXPECT_TRUE(ui.Messages.empty());
    EXPECT_EQ(service.Requests(), 1);
    const int picked = IndexOf(L"DSCN0012.jpg");
    ASSERT_NE(City(picked), nullptr);
    EXPECT_EQ(*City(picked), L"Arezzo");
    EXPECT_EQ(*doc.Item(picked).Current()->CountryCode, L"IT");
    EXPECT_EQ(City(IndexOf(L"DSCN0010.jpg")), nullptr);
    EXPECT_EQ(City(IndexOf(L"DSCN0021.jpg")), nullptr);
    ASSERT_EQ(doc.UndoList().size(), 1u);
    EXPECT_EQ(doc.UndoList().back().Indices, std::vector<int>{picked});
    ASSERT_EQ(ui.Statuses.size(), 1u);
    EXPECT_EQ(ui.Statuses[0], L"Addresses of 1 picture(s): 1 from GeoNames");

    // The same place again: answered by the cache, nothing changes, no undo entry.
    doc.ReverseGeocode(selected);
    EXPECT_EQ(service.Requests(), 1);
    EXPECT_EQ(doc.UndoList().size(), 1u);
    EXPECT_EQ(ui.Statuses.back(), L"Addresses of 1 picture(s): 1 from the address cache");

    // Undo takes the address back; the country code stays, as it was stored at once.
    doc.Undo();
    EXPECT_EQ(City(picked), nullptr);
    EXPECT_EQ(*doc.Item(picked).Current()->CountryCode, L"IT");
}

TEST_F(AddressTest, CreditsRunningOutMidwayKeepTheAddressesFoundBefore)
{
    TempDir many;
    for (int i = 0; i < 50; ++i)
        many.Copy(SamplesDir() / "pictures/gps/DSCN0010.jpg", "p" + std::to_string(100 + i) + ".jpg");
    ASSERT_EQ(doc.OnNavigationComplete(many.Path().string()), S_OK);
    doc.LoadFolder();
    ASSERT_EQ(doc.Count(), 50);
    std::vector<int> all;
    for (int i = 0; i < 50; ++i) {
        PlaceAt(i, 43 + i * 0.01, 11.5);  // 1 km apart: 50 places to ask
        all.push_back(i);
    }
    service.Respond([](int n) {
        return n <= 20 ? "<geonames>" + Place("Arezzo", "P") + "</geonames>"
                       : Status(19, "the hourly limit of 1000 credits for tester has been exceeded.");
    });
    EXPECT_TRUE(doc.ReverseGeocode(all));
    EXPECT_EQ(service.Requests(), 21);  // nothing asked after the refusal
    for (int i = 0; i < 50; ++i) EXPECT_EQ(City(i) != nullptr, i < 20) << i;
    ASSERT_EQ(doc.UndoList().size(), 1u);
    EXPECT_EQ(doc.UndoList().back().Indices.size(), 20u);
    ASSERT_EQ(ui.Messages.size(), 1u);
    EXPECT_EQ(ui.Messages[0].rfind(L"Address Service: GeoNames stopped answering: the hourly credits of the GeoNames "
                                   L"account are used up; they renew at ", 0), 0u)
        << WideToUtf8(ui.Messages[0]);
    EXPECT_NE(ui.Messages[0].find(L"The addresses found before (20) are kept as pending changes; 30 picture(s) got "
                                  L"none."),
              std::wstring::npos)
        << WideToUtf8(ui.Messages[0]);
    EXPECT_TRUE(doc.LastAddressRun().Stopped);
    EXPECT_EQ(doc.LastAddressRun().NotAnswered, 30);
    EXPECT_EQ(ui.Statuses.back().rfind(L"Addresses of 50 picture(s): 20 from GeoNames, 30 not answered (", 0), 0u)
        << WideToUtf8(ui.Statuses.back());
}

TEST_F(AddressTest, AnUnknownAccountIsSaidAndTheOfflinePlacesAnswer)
{
    RequireIndex();
    service.Answer(Status(10, "user does not exist."));
    doc.ReverseGeocode({a, b, c});
    EXPECT_EQ(service.Requests(), 1);  // not asked again with the same account
    ASSERT_EQ(ui.Messages.size(), 1u);
    EXPECT_EQ(ui.Messages[0], L"Address Service: The address service refused the request: GeoNames does not know the "
                              L"account \"tester\".");
    EXPECT_EQ(ui.Statuses.back().rfind(L"Addresses of 3 picture(s): 3 from the offline places", 0), 0u)
        << WideToUtf8(ui.Statuses.back());
    for (int i : {a, b, c}) {
        ASSERT_NE(City(i), nullptr);
        EXPECT_EQ(*doc.Item(i).Current()->CountryName, L"Italy");
        EXPECT_EQ(*doc.Item(i).Current()->CountryCode, L"IT");
        EXPECT_EQ(*doc.Item(i).Current()->ProvinceState, L"Tuscany");
    }
}

TEST_F(AddressTest, TheCacheAnswersWhenTheServerIsDown)
{
    doc.ReverseGeocode({a});
    ASSERT_EQ(service.Requests(), 1);
    doc.Undo();
    service.Stop();
    doc.SetPlacesIndexPath("/nonexistent/places.bin");  // only the cache can answer
    doc.SetConnectionCheck([] { return true; });
    doc.ReverseGeocode({a});
    ASSERT_NE(City(a), nullptr);
    EXPECT_EQ(*City(a), L"Arezzo");
    EXPECT_EQ(ui.Statuses.back(), L"Addresses of 1 picture(s): 1 from the address cache");
}

TEST_F(AddressTest, AGarbageCacheIsSetAsideAndBuiltAgain)
{
    const fs::path cache = cacheDir / "addresses.sqlite";
    WriteFile(cache, std::string(4096, '\x5a') + "not a database");
    doc.ReverseGeocode({a});
    EXPECT_EQ(service.Requests(), 1);
    ASSERT_NE(City(a), nullptr);
    EXPECT_TRUE(fs::exists(cacheDir / "addresses.sqlite.set-aside"));
    doc.Undo();
    doc.ReverseGeocode({a});
    EXPECT_EQ(service.Requests(), 1);  // the new cache answered
    EXPECT_TRUE(ui.Messages.empty());
}

TEST_F(AddressTest, OfflineAsksNothingAndSaysWhereNoPlaceIsNear)
{
    RequireIndex();
    settings.SetString("AddressSource", L"Offline");
    PlaceAt(b, 0, -30);  // the middle of the Atlantic
    doc.ReverseGeocode({a, b});
    EXPECT_EQ(service.Requests(), 0);
    EXPECT_NE(City(a), nullptr);
    EXPECT_EQ(City(b), nullptr);
    EXPECT_EQ(ui.Statuses.back(), L"Addresses of 2 picture(s): 1 from the offline places, 1 without address (no place "
                                  L"within 10 km)");
    EXPECT_TRUE(ui.Messages.empty());
}

TEST_F(AddressTest, WithoutAnAccountTheUserIsAskedOnceAndTheAnswerKept)
{
    for (const wchar_t* stored : {L"", L"tqvk517"}) {  // none, or the placeholder of older settings
        settings.SetString("GeoNamesUser", stored);
        ui.Account = L" photographer ";
        ui.AccountQuestions = 0;
        doc.ReverseGeocode({a});
        EXPECT_EQ(ui.AccountQuestions, 1);
        EXPECT_EQ(settings.GetString("GeoNamesUser", L""), L"photographer");
        EXPECT_NE(service.LastQuery().find("username=photographer"), std::string::npos) << service.LastQuery();
        doc.ReverseGeocode({b});
        EXPECT_EQ(ui.AccountQuestions, 1);
    }
}

TEST_F(AddressTest, DecliningTheAccountQuestionLeavesTheOfflinePlaces)
{
    RequireIndex();
    settings.SetString("GeoNamesUser", L"");
    doc.ReverseGeocode({a});
    EXPECT_EQ(ui.AccountQuestions, 1);
    EXPECT_EQ(service.Requests(), 0);
    EXPECT_NE(City(a), nullptr);
    EXPECT_EQ(ui.Statuses.back(), L"Addresses of 1 picture(s): 1 from the offline places (no GeoNames account is set)");
}

TEST_F(AddressTest, OfflineMessages)
{
    doc.SetPlacesIndexPath("/nonexistent/places.bin");
    doc.SetConnectionCheck([] { return false; });
    doc.ReverseGeocode({0});
    ASSERT_EQ(ui.Messages.size(), 1u);
    EXPECT_EQ(ui.Messages[0], L"No Internet Connection: This computer is not connected to internet. Please make sure "
                              L"the internet connection works and then try again.");
    EXPECT_EQ(service.Requests(), 0);

    // Stamp Address offline: none has an address -> the message, no stamping.
    EXPECT_FALSE(doc.EnsureAddresses({0, 1}));
    EXPECT_EQ(ui.Messages.back().rfind(L"Missing Address Information: None of the selected pictures", 0), 0u);
    // One has, one has not -> the question; No stamps nothing, Yes goes on.
    SetField(doc.Item(0).Current()->City, std::wstring(L"Arezzo"));
    ui.Answer = kAnswerNo;
    EXPECT_FALSE(doc.EnsureAddresses({0, 1}));
    ASSERT_EQ(ui.Questions.size(), 1u);
    ui.Answer = kAnswerYes;
    EXPECT_TRUE(doc.EnsureAddresses({0, 1}));
    // All have an address: no question.
    EXPECT_TRUE(doc.EnsureAddresses({0}));
    EXPECT_EQ(ui.Questions.size(), 2u);
}

TEST_F(AddressTest, WithoutAConnectionTheOfflinePlacesAnswer)
{
    RequireIndex();
    doc.SetConnectionCheck([] { return false; });
    EXPECT_TRUE(doc.EnsureAddresses({a, b}));
    EXPECT_EQ(service.Requests(), 0);
    EXPECT_NE(City(a), nullptr);
    EXPECT_NE(City(b), nullptr);
    EXPECT_TRUE(ui.Messages.empty());
    EXPECT_EQ(ui.Statuses.back(),
              L"Addresses of 2 picture(s): 2 from the offline places (this computer is not connected to internet)");
}

TEST_F(AddressTest, APictureWithoutCoordinatesAsksNothing)
{
    doc.ReverseGeocode({IndexOf(L"Canon_40D.jpg")});
    EXPECT_EQ(service.Requests(), 0);
    ASSERT_EQ(ui.Statuses.size(), 1u);
    EXPECT_EQ(ui.Statuses[0], L"No picture with coordinates to find an address for");
}

TEST_F(AddressTest, OnlineEnsureAsksOnlyForThoseWithout)
{
    SetField(doc.Item(0).Current()->City, std::wstring(L"Known"));
    EXPECT_TRUE(doc.EnsureAddresses({0}));
    EXPECT_EQ(service.Requests(), 0);
    EXPECT_TRUE(doc.EnsureAddresses({0, 1}));
    EXPECT_EQ(service.Requests(), 1);
    EXPECT_EQ(*doc.Item(1).Current()->City, L"Arezzo");
}

TEST_F(AddressTest, TheConnectionCheckReachesTheConfiguredService)
{
    // The real check: the fake service is reachable, a closed port is not.
    doc.SetPlacesIndexPath("/nonexistent/places.bin");
    doc.ReverseGeocode({a});
    EXPECT_EQ(service.Requests(), 1);
    settings.SetString("GeoNamesServer", L"http://127.0.0.1:" + std::to_wstring(testsupport::FreeLoopbackPort()) + L"/");
    doc.ReverseGeocode({b});
    EXPECT_EQ(ui.Messages.size(), 1u);
}

}  // namespace
