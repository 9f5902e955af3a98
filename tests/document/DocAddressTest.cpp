// Address retrieval against a real HTTP server on 127.0.0.1.
#include <gtest/gtest.h>

#include <cpprest/http_listener.h>

#include <mutex>

#include "CorvaneDoc.h"
#include "FakeUserInterface.h"
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

// Answers every request with the same places and counts the requests.
class FakeService {
public:
    FakeService() : port_(testsupport::FreeLoopbackPort()), listener_("http://127.0.0.1:" + std::to_string(port_) + "/")
    {
        listener_.support([this](http_request request) {
            std::string body;
            {
                std::lock_guard<std::mutex> hold(lock_);
                ++requests_;
                body = answer_;
            }
            request.reply(status_codes::OK, body, "text/xml;charset=UTF-8");
        });
        listener_.open().wait();
    }
    ~FakeService() { listener_.close().wait(); }
    std::wstring Address() const { return L"http://127.0.0.1:" + std::to_wstring(port_) + L"/"; }
    void Answer(std::string body)
    {
        std::lock_guard<std::mutex> hold(lock_);
        answer_ = std::move(body);
    }
    int Requests()
    {
        std::lock_guard<std::mutex> hold(lock_);
        return requests_;
    }

private:
    int port_;
    experimental::listener::http_listener listener_;
    std::mutex lock_;
    std::string answer_ = "<geonames>" + Place("Arezzo", "P") + "</geonames>";
    int requests_ = 0;
};

class AddressTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(SamplesDir().empty()) << "the test data is missing";
        for (const char* name : {"DSCN0010.jpg", "DSCN0012.jpg", "DSCN0021.jpg"})
            dir.Copy(SamplesDir() / "pictures/gps" / name);
        dir.Copy(SamplesDir() / "pictures/cameras/Canon_40D.jpg");  // no coordinates
        settings.SetString("GeoNamesServer", service.Address());
        ASSERT_EQ(doc.OnNavigationComplete(dir.Path().string()), S_OK);
        doc.LoadFolder();
    }
    int IndexOf(const wchar_t* name) { return doc.FindItemByName(name); }

    FakeService service;
    TempDir dir;
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
    ASSERT_NE(doc.Item(picked).Current()->City, nullptr);
    EXPECT_EQ(*doc.Item(picked).Current()->City, L"Arezzo");
    EXPECT_EQ(*doc.Item(picked).Current()->CountryCode, L"IT");
    EXPECT_EQ(doc.Item(IndexOf(L"DSCN0010.jpg")).Current()->City, nullptr);
    EXPECT_EQ(doc.Item(IndexOf(L"DSCN0021.jpg")).Current()->City, nullptr);
    ASSERT_EQ(doc.UndoList().size(), 1u);
    EXPECT_EQ(doc.UndoList().back().Indices, std::vector<int>{picked});

    // The same answer again: nothing changes, no undo entry.
    doc.ReverseGeocode(selected);
    EXPECT_EQ(doc.UndoList().size(), 1u);

    // Undo takes the address back; the country code stays, as it was stored at once.
    doc.Undo();
    EXPECT_EQ(doc.Item(picked).Current()->City, nullptr);
    EXPECT_EQ(*doc.Item(picked).Current()->CountryCode, L"IT");
}

TEST_F(AddressTest, ARefusalIsToldOnce)
{
    service.Answer("<geonames><status message=\"the daily limit of 20000 credits has been exceeded.\" value=\"18\"/></geonames>");
    doc.ReverseGeocode({0, 1, 2});
    ASSERT_EQ(ui.Messages.size(), 1u);
    EXPECT_NE(ui.Messages[0].find(L"the daily limit of 20000 credits has been exceeded."), std::wstring::npos);
    EXPECT_TRUE(doc.UndoList().empty());
}

TEST_F(AddressTest, OfflineMessages)
{
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
    doc.ReverseGeocode({1});
    EXPECT_EQ(service.Requests(), 1);
    settings.SetString("GeoNamesServer", L"http://127.0.0.1:" + std::to_wstring(testsupport::FreeLoopbackPort()) + L"/");
    doc.ReverseGeocode({1});
    EXPECT_EQ(ui.Messages.size(), 1u);
}

}  // namespace
