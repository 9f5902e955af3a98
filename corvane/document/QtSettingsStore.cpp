#include "QtSettingsStore.h"

#include <QSettings>
#include <QString>

namespace {

QString Key(const std::string& key)
{
    return QStringLiteral("Settings/") + QString::fromStdString(key);
}

}  // namespace

CQtSettingsStore::CQtSettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "Halvorn", "Corvane"))
{
}

CQtSettingsStore::~CQtSettingsStore() = default;

int CQtSettingsStore::GetInt(const std::string& key, int fallback) const
{
    std::lock_guard<std::mutex> hold(lock_);
    const QVariant v = settings_->value(Key(key));
    bool ok = false;
    const int n = v.toInt(&ok);
    return v.isValid() && ok ? n : fallback;
}

std::wstring CQtSettingsStore::GetString(const std::string& key, const std::wstring& fallback) const
{
    std::lock_guard<std::mutex> hold(lock_);
    const QVariant v = settings_->value(Key(key));
    return v.isValid() ? v.toString().toStdWString() : fallback;
}

bool CQtSettingsStore::SetInt(const std::string& key, int value)
{
    std::lock_guard<std::mutex> hold(lock_);
    settings_->setValue(Key(key), value);
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

bool CQtSettingsStore::SetString(const std::string& key, const std::wstring& value)
{
    std::lock_guard<std::mutex> hold(lock_);
    settings_->setValue(Key(key), QString::fromStdWString(value));
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

int COverlaySettingsStore::GetInt(const std::string& key, int fallback) const
{
    return overlay_.Has(key) ? overlay_.GetInt(key, fallback) : base_.GetInt(key, fallback);
}

std::wstring COverlaySettingsStore::GetString(const std::string& key, const std::wstring& fallback) const
{
    return overlay_.Has(key) ? overlay_.GetString(key, fallback) : base_.GetString(key, fallback);
}
