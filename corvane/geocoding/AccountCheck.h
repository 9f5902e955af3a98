// The "Test" of a GeoNames account: one small request, and what it shows
// in a few words ("works", "unknown account", "web services not enabled for
// this account", or what went wrong on the way).
#pragma once

#include <QString>

#include "ReverseGeoCode.h"

enum class AccountState { Works, NoAccount, UnknownAccount, NotEnabled, Refused, Unreachable };

struct AccountCheck {
    AccountState State = AccountState::NoAccount;
    QString Text;
};

// Blocks up to the service's deadline; safe on any thread. `service.user`
// is sent as given (the caller leaves out the placeholder account).
AccountCheck CheckGeoNamesAccount(const CGeoNamesService& service);
