// What the GeoNames service means when it answers with a "status" instead of
// places, and what the user is told about it: an account it does not know or
// whose web services are off, credits used up (and when they renew), or a
// server too busy to answer.
#pragma once

#include <QDateTime>
#include <QString>
#include <QTimeZone>
#include <string>

enum class RefusalKind {
    None,
    UnknownAccount,  // status 10: the account does not exist (or none was sent)
    NotEnabled,      // status 10: the account's web services are not enabled
    DailyCredits,    // status 18
    HourlyCredits,   // status 19
    WeeklyCredits,   // status 20
    Overloaded,      // status 22
    Other,           // any other status: this request failed
};

RefusalKind ClassifyRefusal(int statusValue, const std::wstring& statusMessage);
// Credits used up or the server overloaded: asking again now is pointless.
bool StopsTheRun(RefusalKind kind);
// When the credits of that kind renew: the service counts them by the hour,
// day and week of UTC. Invalid for the kinds that do not renew.
QDateTime CreditsRenewAt(RefusalKind kind, const QDateTime& now);

// A sentence (no capital, no full stop) saying what happened and, for
// credits, when they renew, in `zone`'s time: "the hourly credits of the
// GeoNames account are used up; they renew at 15:00".
QString RefusalText(RefusalKind kind, const QString& account, const std::wstring& statusMessage,
                    const QDateTime& now = QDateTime::currentDateTimeUtc(),
                    const QTimeZone& zone = QTimeZone::systemTimeZone());
