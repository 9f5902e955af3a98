// The per-user settings: a store of integer and string values in section
// "Settings", behind an interface so that the core and the tests can use a
// store in memory while the programs use the user's own.
#pragma once

#include <map>
#include <string>

class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    // The value of `key`, or `fallback` when it is absent (or of the other type).
    virtual int GetInt(const std::string& key, int fallback) const = 0;
    virtual std::wstring GetString(const std::string& key, const std::wstring& fallback) const = 0;
    virtual bool SetInt(const std::string& key, int value) = 0;
    virtual bool SetString(const std::string& key, const std::wstring& value) = 0;
};

class CMemorySettingsStore : public ISettingsStore {
public:
    int GetInt(const std::string& key, int fallback) const override;
    std::wstring GetString(const std::string& key, const std::wstring& fallback) const override;
    bool SetInt(const std::string& key, int value) override;
    bool SetString(const std::string& key, const std::wstring& value) override;
    bool Has(const std::string& key) const { return ints_.count(key) || strings_.count(key); }
    size_t Size() const { return ints_.size() + strings_.size(); }

private:
    std::map<std::string, int> ints_;
    std::map<std::string, std::wstring> strings_;
};

// One key of the settings table with its default.
struct SettingDefault {
    const char* Key;
    bool IsInteger;
    int IntegerDefault;
    const wchar_t* StringDefault;
};

// Every key in table order, with its default.
const SettingDefault* SettingsTable(size_t& count);
// The default of a key (0 / empty for keys not in the table).
int DefaultInt(const std::string& key);
std::wstring DefaultString(const std::string& key);

// Reads with the table's default as the fallback.
int ReadIntSetting(const ISettingsStore& store, const std::string& key);
std::wstring ReadStringSetting(const ISettingsStore& store, const std::string& key);

// Writes every key with its default, in table order, stopping at the first
// failed write; true when all were written.
bool WriteDefaultSettings(ISettingsStore& store);
// First run: writes the defaults when "GPSStampngIncGPSCoord" is absent.
// Returns true when it wrote them.
bool EnsureDefaultSettings(ISettingsStore& store);
