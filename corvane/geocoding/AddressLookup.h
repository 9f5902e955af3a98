// Finds the addresses of one run, picture by picture, from the source the
// user chose: the address cache (also when the service cannot be reached),
// then the GeoNames service, with the offline
// places index answering when the service cannot be reached or refuses the
// account, or always when "Offline" is chosen. Credits used up or a server
// overloaded stop the asking: the pictures after that get no answer. It
// counts where every address came from, for the run's status message.
#pragma once

#include <QDateTime>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <system_error>

#include "AddressFields.h"
#include "GeocodingConfig.h"
#include "ServiceRefusal.h"

class CAddressCache;
class COfflinePlaces;

enum class AddressOrigin {
    Service,       // asked now
    Cache,         // the service's earlier answer
    OfflineIndex,  // the offline places index
    NotAsked,      // the service stopped the run before this picture
};

struct AddressAnswer {
    AddressOrigin Origin = AddressOrigin::NotAsked;
    AddressFields Fields;  // none found: Fields.Found() is false
};

class CAddressLookup {
public:
    // The offline places within this distance of a picture name its address.
    static constexpr double OfflineRadiusKm = 10.0;

    // `cache` may be null (no cache for this run); it must outlive the lookup.
    CAddressLookup(GeocodingConfig config, CAddressCache* cache);
    ~CAddressLookup();

    // Whether this run can find any address: online with an account, or with
    // a usable offline index. When false, Problem() says why.
    bool CanAnswer();
    bool UsesService() const { return online_; }
    // The offline index, opened on first use; null when it cannot be used.
    const COfflinePlaces* OfflineIndex();
    // No more requests this run (no connection, no account): the offline
    // index answers. `reason` is told in the run's message.
    void GoOffline(const QString& reason);

    // Not counted when the run was cancelled while the service was being asked.
    AddressAnswer Find(double lat, double lng);
    // Requests are given up as soon as `*cancelled` becomes true; Find then
    // answers NotAsked and counts nothing (null: never).
    void SetCancelFlag(const std::atomic_bool* cancelled) { cancelled_ = cancelled; }
    // The cache may be opened later than the lookup is made: on the thread
    // that runs Find (database connections belong to their thread).
    void SetCache(CAddressCache* cache) { cache_ = cache; }
    // Pictures the run gave up on without asking (after the service stopped it).
    void CountNotAsked(int pictures) { notAsked_ += pictures; }

    // The service stopped the run (credits used up, overloaded).
    bool Stopped() const { return StopsTheRun(refusal_); }
    RefusalKind Refusal() const { return refusal_; }
    // What the service or the transport said, as a sentence; empty when nothing went wrong.
    QString Problem() const;
    // The status message of the run: how many addresses from where.
    QString Summary() const;

    void SetClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }

private:
    bool FromService(double lat, double lng, AddressAnswer& answer);
    AddressAnswer FromIndex(double lat, double lng);
    AddressAnswer Count(AddressAnswer answer);

    GeocodingConfig config_;
    CAddressCache* cache_;
    const std::atomic_bool* cancelled_ = nullptr;
    std::shared_ptr<const COfflinePlaces> index_;
    std::error_code indexError_;
    bool indexTried_ = false;
    bool online_;
    QString offlineReason_;
    RefusalKind refusal_ = RefusalKind::None;
    std::wstring refusalMessage_;
    QDateTime refusedAt_;
    std::function<QDateTime()> clock_;
    int fromService_ = 0, fromCache_ = 0, fromIndex_ = 0, without_ = 0, farFromPlaces_ = 0, notAsked_ = 0;
};
