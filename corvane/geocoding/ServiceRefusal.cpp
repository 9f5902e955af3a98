#include "ServiceRefusal.h"

#include <QCoreApplication>

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("Geocoding", text);
}

// "15:00", "15:00 tomorrow" or "15:00 on 2026-12-14", as seen in `zone`.
QString WhenText(const QDateTime& at, const QDateTime& now, const QTimeZone& zone)
{
    const QDateTime local = at.toTimeZone(zone);
    const QDate today = now.toTimeZone(zone).date();
    const QString time = local.toString(QStringLiteral("HH:mm"));
    if (local.date() == today) return time;
    if (local.date() == today.addDays(1)) return Tr("%1 tomorrow").arg(time);
    return Tr("%1 on %2").arg(time, local.toString(QStringLiteral("yyyy-MM-dd")));
}

}  // namespace

RefusalKind ClassifyRefusal(int statusValue, const std::wstring& statusMessage)
{
    if (statusMessage.find(L"not enabled") != std::wstring::npos) return RefusalKind::NotEnabled;
    switch (statusValue) {
    case 10: return RefusalKind::UnknownAccount;
    case 18: return RefusalKind::DailyCredits;
    case 19: return RefusalKind::HourlyCredits;
    case 20: return RefusalKind::WeeklyCredits;
    case 22: return RefusalKind::Overloaded;
    default: return RefusalKind::Other;
    }
}

bool StopsTheRun(RefusalKind kind)
{
    return kind == RefusalKind::DailyCredits || kind == RefusalKind::HourlyCredits ||
           kind == RefusalKind::WeeklyCredits || kind == RefusalKind::Overloaded;
}

QDateTime CreditsRenewAt(RefusalKind kind, const QDateTime& now)
{
    const QDateTime utc = now.toUTC();
    const QDate day = utc.date();
    switch (kind) {
    case RefusalKind::HourlyCredits:
        return QDateTime(day, QTime(utc.time().hour(), 0), QTimeZone::utc()).addSecs(3600);
    case RefusalKind::DailyCredits:
        return QDateTime(day.addDays(1), QTime(0, 0), QTimeZone::utc());
    case RefusalKind::WeeklyCredits:  // weeks start on Monday
        return QDateTime(day.addDays(8 - day.dayOfWeek()), QTime(0, 0), QTimeZone::utc());
    default:
        return {};
    }
}

QString RefusalText(RefusalKind kind, const QString& account, const std::wstring& statusMessage, const QDateTime& now,
                    const QTimeZone& zone)
{
    const QDateTime renew = CreditsRenewAt(kind, now);
    switch (kind) {
    case RefusalKind::UnknownAccount:
        return Tr("GeoNames does not know the account \"%1\"").arg(account);
    case RefusalKind::NotEnabled:
        return Tr("the web services of the GeoNames account \"%1\" are not enabled: enable them on the account's "
                  "page of the GeoNames web site")
            .arg(account);
    case RefusalKind::HourlyCredits:
        return Tr("the hourly credits of the GeoNames account are used up; they renew at %1")
            .arg(WhenText(renew, now, zone));
    case RefusalKind::DailyCredits:
        return Tr("the daily credits of the GeoNames account are used up; they renew at %1")
            .arg(WhenText(renew, now, zone));
    case RefusalKind::WeeklyCredits:
        return Tr("the weekly credits of the GeoNames account are used up; they renew at %1")
            .arg(WhenText(renew, now, zone));
    case RefusalKind::Overloaded:
        return Tr("the GeoNames service is overloaded; try again in a few minutes");
    case RefusalKind::Other:
        return Tr("GeoNames refused the request: %1").arg(QString::fromStdWString(statusMessage));
    case RefusalKind::None:
        break;
    }
    return {};
}
