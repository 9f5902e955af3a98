// The user's own settings: QSettings("Halvorn", "Corvane"), group "Settings"
// (an INI file under the user's XDG configuration folder). Safe to use from
// several threads: a save on a worker reads the stamp settings while the
// window reads its own.
#pragma once

#include <memory>
#include <mutex>

#include "SettingsStore.h"

class QSettings;

class CQtSettingsStore : public ISettingsStore {
public:
    CQtSettingsStore();
    ~CQtSettingsStore() override;
    int GetInt(const std::string& key, int fallback) const override;
    std::wstring GetString(const std::string& key, const std::wstring& fallback) const override;
    bool SetInt(const std::string& key, int value) override;
    bool SetString(const std::string& key, const std::wstring& value) override;

private:
    mutable std::mutex lock_;  // one QSettings object is not to be used by two threads at once
    std::unique_ptr<QSettings> settings_;
};

// Values given for one run (command-line options) in front of another store;
// writes go to the overlay only.
class COverlaySettingsStore : public ISettingsStore {
public:
    explicit COverlaySettingsStore(const ISettingsStore& base) : base_(base) {}
    int GetInt(const std::string& key, int fallback) const override;
    std::wstring GetString(const std::string& key, const std::wstring& fallback) const override;
    bool SetInt(const std::string& key, int value) override { return overlay_.SetInt(key, value); }
    bool SetString(const std::string& key, const std::wstring& value) override { return overlay_.SetString(key, value); }

private:
    const ISettingsStore& base_;
    CMemorySettingsStore overlay_;
};
