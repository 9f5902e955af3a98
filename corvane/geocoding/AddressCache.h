// The addresses the service gave, kept in an SQLite database under the
// user's cache folder (shared by the window and the command line) so that a
// place is not asked again for 90 days. Keyed by the service's address and
// the coordinate rounded to 0.001 degree (about 100 m); an answer without
// address is kept too. A cache that cannot be opened, is not a database or
// stays locked is set aside (renamed "*.set-aside") and made anew; when even
// that fails the cache does nothing. It never makes a run fail.
//
// Use it on one thread (Qt's database connections belong to theirs).
#pragma once

#include <QString>
#include <optional>

#include "AddressFields.h"

class CAddressCache {
public:
    static constexpr qint64 MaxAgeSeconds = 90LL * 24 * 3600;

    // `path` empty: DefaultAddressCachePath(). `busyMilliseconds` is how
    // long a lock held by another program is waited for.
    explicit CAddressCache(const QString& path = QString(), int busyMilliseconds = 3000);
    ~CAddressCache();
    CAddressCache(const CAddressCache&) = delete;
    CAddressCache& operator=(const CAddressCache&) = delete;

    // The answer kept for the coordinate, if asked less than 90 days before `now`.
    std::optional<AddressFields> Find(const QString& service, double lat, double lng, qint64 now);
    // Keeps an answer (replacing an older one); false when it could not.
    bool Store(const QString& service, double lat, double lng, const AddressFields& fields, qint64 now);

    // Whether the database is in use; false when it could not be opened.
    bool IsOpen();
    QString Path() const { return path_; }
    // How many times a broken or locked database was set aside (for tests).
    int SetAsideCount() const { return setAside_; }

    static qint64 Now();
    // The coordinate as the cache keys it.
    static qint64 KeyOf(double degrees);

private:
    bool Open();
    bool OpenOnce();
    void SetAside();
    void Close();

    QString path_;
    QString connection_;
    int busyMilliseconds_;
    bool tried_ = false;
    bool open_ = false;
    int setAside_ = 0;
};

// $XDG_CACHE_HOME/Halvorn/Corvane/addresses.sqlite (~/.cache when unset).
QString DefaultAddressCachePath();
