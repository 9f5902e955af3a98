// What the service's status answers mean and what the user is told: the
// kind of refusal, and when used-up credits renew.
#include <gtest/gtest.h>

#include "PlaceNames.h"
#include "ServiceRefusal.h"

namespace {

struct KindCase {
    int value;
    const wchar_t* message;
    RefusalKind kind;
    bool stops;
};

class RefusalKindTest : public testing::TestWithParam<KindCase> {};

TEST_P(RefusalKindTest, IsRecognised)
{
    EXPECT_EQ(GetParam().kind, ClassifyRefusal(GetParam().value, GetParam().message));
    EXPECT_EQ(GetParam().stops, StopsTheRun(GetParam().kind));
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, RefusalKindTest,
    testing::Values(KindCase{10, L"user does not exist.", RefusalKind::UnknownAccount, false},
                    KindCase{10, L"user account not enabled to use the free webservice. Please enable it on your "
                                 L"account page: https://www.geonames.org/manageaccount ",
                             RefusalKind::NotEnabled, false},
                    KindCase{18, L"the daily limit of 20000 credits for x has been exceeded.", RefusalKind::DailyCredits, true},
                    KindCase{19, L"the hourly limit of 1000 credits for x has been exceeded.", RefusalKind::HourlyCredits, true},
                    KindCase{20, L"the weekly limit of ... has been exceeded.", RefusalKind::WeeklyCredits, true},
                    KindCase{22, L"the server is busy", RefusalKind::Overloaded, true},
                    KindCase{13, L"database timeout", RefusalKind::Other, false}));

struct RenewCase {
    RefusalKind kind;
    const char* now;   // UTC
    const char* zone;  // where the user is
    const char* said;
};

class RenewalTest : public testing::TestWithParam<RenewCase> {};

TEST_P(RenewalTest, SaysWhenTheCreditsRenewInTheUsersTime)
{
    const QDateTime now = QDateTime::fromString(QString::fromLatin1(GetParam().now), Qt::ISODate);
    ASSERT_TRUE(now.isValid());
    const QTimeZone zone(QByteArray(GetParam().zone));
    ASSERT_TRUE(zone.isValid());
    EXPECT_EQ(QString::fromUtf8(GetParam().said), RefusalText(GetParam().kind, QStringLiteral("me"), L"", now, zone));
}

INSTANTIATE_TEST_SUITE_P(
    Credits, RenewalTest,
    testing::Values(
        RenewCase{RefusalKind::HourlyCredits, "2026-12-07T14:37:00Z", "UTC",
                  "the hourly credits of the GeoNames account are used up; they renew at 15:00"},
        RenewCase{RefusalKind::HourlyCredits, "2026-12-07T14:37:00Z", "Asia/Kolkata",
                  "the hourly credits of the GeoNames account are used up; they renew at 20:30"},
        RenewCase{RefusalKind::HourlyCredits, "2026-12-07T23:59:00Z", "UTC",
                  "the hourly credits of the GeoNames account are used up; they renew at 00:00 tomorrow"},
        RenewCase{RefusalKind::DailyCredits, "2026-12-07T14:37:00Z", "Europe/Berlin",
                  "the daily credits of the GeoNames account are used up; they renew at 01:00 tomorrow"},
        RenewCase{RefusalKind::DailyCredits, "2026-12-07T14:37:00Z", "America/New_York",
                  "the daily credits of the GeoNames account are used up; they renew at 19:00"},
        RenewCase{RefusalKind::WeeklyCredits, "2026-12-09T10:00:00Z", "UTC",  // a Wednesday
                  "the weekly credits of the GeoNames account are used up; they renew at 00:00 on 2026-12-14"},
        RenewCase{RefusalKind::Overloaded, "2026-12-09T10:00:00Z", "UTC",
                  "the GeoNames service is overloaded; try again in a few minutes"},
        RenewCase{RefusalKind::UnknownAccount, "2026-12-09T10:00:00Z", "UTC",
                  "GeoNames does not know the account \"me\""}));

TEST(PlaceNames, CountryNamesInEnglishAndTheUsersLanguage)
{
    EXPECT_EQ(QStringLiteral("France"), EnglishCountryName(QStringLiteral("FR")));
    EXPECT_EQ(QStringLiteral("Germany"), EnglishCountryName(QStringLiteral("de")));
    EXPECT_EQ(QString(), EnglishCountryName(QStringLiteral("ZZ")));
    EXPECT_EQ(QString(), EnglishCountryName(QStringLiteral("FRA")));
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(QStringLiteral("Deutschland"), LocalCountryName(QStringLiteral("DE"), german));
    EXPECT_EQ(QStringLiteral("Österreich"), LocalCountryName(QStringLiteral("AT"), german));
    // Qt has no German locale for France: English, not "Deutschland".
    EXPECT_EQ(QStringLiteral("France"), LocalCountryName(QStringLiteral("FR"), german));
}

TEST(PlaceNames, SearchKeysFoldAsTheIndexDoes)
{
    EXPECT_EQ("sevres", PlaceSearchKey(QStringLiteral("Sèvres")));
    EXPECT_EQ("lodz", PlaceSearchKey(QStringLiteral("ŁÓDŹ")));
    EXPECT_EQ("sao paulo", PlaceSearchKey(QStringLiteral("São Paulo")));
    EXPECT_EQ("istanbul", PlaceSearchKey(QStringLiteral("İstanbul")));
    EXPECT_EQ("strasse", PlaceSearchKey(QStringLiteral("Straße")));
    EXPECT_EQ("aeroskobing", PlaceSearchKey(QStringLiteral("Ærøskøbing")));
}

}  // namespace
