#include "AddressCache.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUuid>
#include <QVariant>
#include <cmath>

namespace {

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS addresses ("
    " service TEXT NOT NULL, lat INTEGER NOT NULL, lng INTEGER NOT NULL,"
    " sub_location TEXT, city TEXT, state TEXT, country TEXT, country_code TEXT,"
    " asked_at INTEGER NOT NULL,"
    " PRIMARY KEY (service, lat, lng)) WITHOUT ROWID";

QVariant ToValue(const std::optional<std::wstring>& field)
{
    return field ? QVariant(QString::fromStdWString(*field)) : QVariant();
}

std::optional<std::wstring> FromValue(const QVariant& value)
{
    if (value.isNull()) return std::nullopt;
    const QString text = value.toString();
    if (text.isEmpty()) return std::nullopt;
    return text.toStdWString();
}

}  // namespace

QString DefaultAddressCachePath()
{
    // Named explicitly: the command line has no application name to go by.
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/Halvorn/Corvane/addresses.sqlite");
}

CAddressCache::CAddressCache(const QString& path, int busyMilliseconds)
    : path_(path.isEmpty() ? DefaultAddressCachePath() : path),
      connection_(QStringLiteral("address-cache-") + QUuid::createUuid().toString(QUuid::WithoutBraces)),
      busyMilliseconds_(busyMilliseconds)
{
}

CAddressCache::~CAddressCache()
{
    Close();
}

void CAddressCache::Close()
{
    if (QSqlDatabase::contains(connection_)) {
        {
            QSqlDatabase db = QSqlDatabase::database(connection_, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(connection_);
    }
    open_ = false;
}

qint64 CAddressCache::Now()
{
    return QDateTime::currentSecsSinceEpoch();
}

qint64 CAddressCache::KeyOf(double degrees)
{
    return std::llround(degrees * 1000);
}

bool CAddressCache::IsOpen()
{
    return Open();
}

bool CAddressCache::Open()
{
    if (tried_) return open_;
    tried_ = true;
    if (OpenOnce()) return true;
    // Not a database, or locked for longer than a program holds it: start anew.
    SetAside();
    return OpenOnce();
}

// Opens the database and proves it usable: reading and writing its table.
bool CAddressCache::OpenOnce()
{
    Close();
    if (!QDir().mkpath(QFileInfo(path_).absolutePath())) return false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
        db.setDatabaseName(path_);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyMilliseconds_));
        if (!db.open()) return false;
        QSqlQuery query(db);
        const bool usable = query.exec(QString::fromLatin1(kSchema)) &&
                            query.exec(QStringLiteral("SELECT count(*) FROM addresses WHERE lat = 0 AND lng = 0")) &&
                            query.exec(QStringLiteral("BEGIN IMMEDIATE")) && query.exec(QStringLiteral("COMMIT"));
        if (!usable) {
            query.finish();
            db.close();
            return false;
        }
    }
    open_ = true;
    return true;
}

// The old file and its journals are renamed out of the way, replacing what
// an earlier set-aside left.
void CAddressCache::SetAside()
{
    Close();
    ++setAside_;
    for (const QString& suffix : {QString(), QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        const QString from = path_ + suffix;
        if (!QFileInfo::exists(from)) continue;
        const QString to = path_ + QStringLiteral(".set-aside") + suffix;
        QFile::remove(to);
        if (!QFile::rename(from, to)) QFile::remove(from);
    }
}

std::optional<AddressFields> CAddressCache::Find(const QString& service, double lat, double lng, qint64 now)
{
    if (!Open()) return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QStringLiteral("SELECT sub_location, city, state, country, country_code, asked_at FROM addresses "
                                 "WHERE service = ? AND lat = ? AND lng = ?"));
    query.addBindValue(service);
    query.addBindValue(KeyOf(lat));
    query.addBindValue(KeyOf(lng));
    if (!query.exec() || !query.next()) return std::nullopt;
    const qint64 asked = query.value(5).toLongLong();
    if (asked > now || now - asked >= MaxAgeSeconds) return std::nullopt;
    AddressFields fields;
    fields.SubLocation = FromValue(query.value(0));
    fields.City = FromValue(query.value(1));
    fields.ProvinceState = FromValue(query.value(2));
    fields.CountryName = FromValue(query.value(3));
    fields.CountryCode = FromValue(query.value(4));
    return fields;
}

bool CAddressCache::Store(const QString& service, double lat, double lng, const AddressFields& fields, qint64 now)
{
    if (!Open()) return false;
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO addresses (service, lat, lng, sub_location, city, state, "
                                 "country, country_code, asked_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    query.addBindValue(service);
    query.addBindValue(KeyOf(lat));
    query.addBindValue(KeyOf(lng));
    query.addBindValue(ToValue(fields.SubLocation));
    query.addBindValue(ToValue(fields.City));
    query.addBindValue(ToValue(fields.ProvinceState));
    query.addBindValue(ToValue(fields.CountryName));
    query.addBindValue(ToValue(fields.CountryCode));
    query.addBindValue(now);
    return query.exec();
}
