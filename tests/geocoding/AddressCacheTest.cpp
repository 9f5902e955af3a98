// The address cache: what it keeps, for how long, under which key, and that
// a broken, locked or unreachable database never stops a run.
#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>

#include "AddressCache.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;

const QString kService = QStringLiteral("http://api.example/");
const qint64 kNow = 1796000000;  // a fixed moment: the age of entries is all that matters

AddressFields Sevres()
{
    AddressFields f;
    f.City = L"Sèvres";
    f.ProvinceState = L"Île-de-France";
    f.CountryName = L"France";
    f.CountryCode = L"FR";
    return f;
}

class AddressCacheTest : public testing::Test {
protected:
    QString Path() const { return QString::fromStdString((dir / "cache/addresses.sqlite").string()); }
    TempDir dir;
};

TEST_F(AddressCacheTest, KeepsAnswersAndAnswersWithoutAddress)
{
    CAddressCache cache(Path());
    ASSERT_TRUE(cache.Store(kService, 48.8229, 2.2176, Sevres(), kNow));
    AddressFields nothing;
    nothing.CountryCode = L"XX";  // a code alone is no address, and kept as it came
    ASSERT_TRUE(cache.Store(kService, 0, -30, nothing, kNow));
    EXPECT_EQ(cache.Find(kService, 48.8229, 2.2176, kNow + 1), Sevres());
    EXPECT_EQ(cache.Find(kService, 0, -30, kNow), nothing);
    // Kept on disk: another cache object (the command line, say) finds it.
    CAddressCache other(Path());
    EXPECT_EQ(other.Find(kService, 48.8229, 2.2176, kNow), Sevres());
}

struct KeyCase {
    const char* name;
    double lat, lng;
    const char* service;
    qint64 age;
    bool found;
};

class CacheKeyTest : public AddressCacheTest, public testing::WithParamInterface<KeyCase> {};

TEST_P(CacheKeyTest, FindsOnlyTheSamePlaceOfTheSameServiceUnder90Days)
{
    CAddressCache cache(Path());
    ASSERT_TRUE(cache.Store(kService, 48.8229, 2.2176, Sevres(), kNow));
    const KeyCase& k = GetParam();
    EXPECT_EQ(k.found, cache.Find(QString::fromLatin1(k.service), k.lat, k.lng, kNow + k.age).has_value());
}

const qint64 kDay = 24 * 3600;

INSTANTIATE_TEST_SUITE_P(
    Keys, CacheKeyTest,
    testing::Values(KeyCase{"Same", 48.8229, 2.2176, "http://api.example/", 0, true},
                    KeyCase{"ThirtyMetresAway", 48.8231, 2.2178, "http://api.example/", 0, true},
                    KeyCase{"ThreeHundredMetresAway", 48.8256, 2.2176, "http://api.example/", 0, false},
                    KeyCase{"OtherHemisphere", -48.8229, -2.2176, "http://api.example/", 0, false},
                    KeyCase{"OtherService", 48.8229, 2.2176, "http://127.0.0.1:8080/", 0, false},
                    KeyCase{"EightyNineDaysOld", 48.8229, 2.2176, "http://api.example/", 89 * kDay, true},
                    KeyCase{"NinetyDaysOld", 48.8229, 2.2176, "http://api.example/", 90 * kDay, false},
                    KeyCase{"FromTheFuture", 48.8229, 2.2176, "http://api.example/", -kDay, false}),
    [](const testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

TEST_F(AddressCacheTest, ANewerAnswerReplacesTheOlder)
{
    CAddressCache cache(Path());
    ASSERT_TRUE(cache.Store(kService, 1, 2, Sevres(), kNow - 100 * kDay));
    EXPECT_FALSE(cache.Find(kService, 1, 2, kNow));
    AddressFields moved = Sevres();
    moved.City = L"Meudon";
    ASSERT_TRUE(cache.Store(kService, 1, 2, moved, kNow));
    EXPECT_EQ(cache.Find(kService, 1, 2, kNow), moved);
}

TEST_F(AddressCacheTest, ALockedDatabaseIsSetAsideAndBuiltAgain)
{
    {
        CAddressCache first(Path());
        ASSERT_TRUE(first.Store(kService, 1, 2, Sevres(), kNow));
    }
    // Another program holds the database locked for longer than we wait.
    QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
    holder.setDatabaseName(Path());
    ASSERT_TRUE(holder.open());
    {
        QSqlQuery lock(holder);
        ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        ASSERT_TRUE(lock.exec(QStringLiteral("DELETE FROM addresses")));
        CAddressCache cache(Path(), 50);
        EXPECT_TRUE(cache.IsOpen());
        EXPECT_EQ(1, cache.SetAsideCount());
        EXPECT_FALSE(cache.Find(kService, 1, 2, kNow));  // a new, empty cache
        EXPECT_TRUE(cache.Store(kService, 3, 4, Sevres(), kNow));
        EXPECT_EQ(cache.Find(kService, 3, 4, kNow), Sevres());
        lock.exec(QStringLiteral("ROLLBACK"));
    }
    holder.close();
    holder = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
}

TEST_F(AddressCacheTest, ACacheThatCannotBeMadeDoesNothing)
{
    WriteFile(dir / "file", "a file where the folder should be");
    CAddressCache cache(QString::fromStdString((dir / "file/addresses.sqlite").string()));
    EXPECT_FALSE(cache.IsOpen());
    EXPECT_FALSE(cache.Store(kService, 1, 2, Sevres(), kNow));
    EXPECT_FALSE(cache.Find(kService, 1, 2, kNow));
}

}  // namespace
