#include "SettingsStore.h"

#include "PictureCodec.h"

namespace {

// Section "Settings", letter for letter; the address keys configure where
// addresses come from: the GeoNames service (its address, the user's own
// account, none at first, and the deadline of a request in seconds) or the
// offline places ("AddressSource": "Online" or "Offline"); the four map keys
// configure the map panel.
const SettingDefault kTable[] = {
    {"AltUnit", false, 0, L"M"},
    {"GPSDecimalPlaces", true, 6, nullptr},
    {"GPSFormat", false, 0, L"DD"},
    {"StampColors", false, 0, L"DB-LT"},
    {"UseOfStamping", false, 0, L"OU"},
    {"OverwriteOriginalPics", true, 1, nullptr},
    {"ModifiedPicsLocation", false, 0, L"Modified"},
    {"GPSStampngIncGPSCoord", true, 1, nullptr},
    {"GPSStampngIncAlt", true, 1, nullptr},
    {"GPSStampngIncDateTaken", true, 1, nullptr},
    {"GPSStampngIncImgDirc", true, 0, nullptr},
    {"GPSStampngIncMeasPrec", true, 1, nullptr},
    {"GPSStampngLocation", false, 0, L"bot"},
    {"DateTime", false, 0, L"DateTime"},
    {"AddrStampngIncGPSCoord", true, 1, nullptr},
    {"AddrStampngIncAlt", true, 1, nullptr},
    {"AddrStampngIncDateTaken", true, 1, nullptr},
    {"AddrStampngIncImgDirc", true, 0, nullptr},
    {"AddrStampngIncMeasPrec", true, 0, nullptr},
    {"AddrStampngLocation", false, 0, L"bot"},
    {"TitleStampngLocation", false, 0, L"top"},
    {"FSysGPSMLV", true, 1, nullptr},
    {"Filtering", true, 3, nullptr},
    {"GeoNamesServer", false, 0, L"http://api.geonames.org/"},
    {"GeoNamesUser", false, 0, L""},
    {"GeoNamesTimeout", true, 10, nullptr},
    {"AddressSource", false, 0, L"Online"},
    // Stamping decodes a picture whole; larger ones are refused (PictureCodec.h).
    {"MaxStampMegapixels", true, DefaultMaxStampMegapixels, nullptr},
    {"MapVisible", true, 0, nullptr},
    {"MapTileUrl", false, 0, L"https://tile.openstreetmap.org/{z}/{x}/{y}.png"},
    {"MapAttribution", false, 0, L"\u00a9 OpenStreetMap contributors"},
    {"MapCacheMB", true, 500, nullptr},
};

const SettingDefault* Find(const std::string& key)
{
    for (const auto& s : kTable)
        if (key == s.Key) return &s;
    return nullptr;
}

}  // namespace

int CMemorySettingsStore::GetInt(const std::string& key, int fallback) const
{
    auto it = ints_.find(key);
    return it == ints_.end() ? fallback : it->second;
}

std::wstring CMemorySettingsStore::GetString(const std::string& key, const std::wstring& fallback) const
{
    auto it = strings_.find(key);
    return it == strings_.end() ? fallback : it->second;
}

bool CMemorySettingsStore::SetInt(const std::string& key, int value)
{
    strings_.erase(key);
    ints_[key] = value;
    return true;
}

bool CMemorySettingsStore::SetString(const std::string& key, const std::wstring& value)
{
    ints_.erase(key);
    strings_[key] = value;
    return true;
}

const SettingDefault* SettingsTable(size_t& count)
{
    count = sizeof kTable / sizeof kTable[0];
    return kTable;
}

int DefaultInt(const std::string& key)
{
    const SettingDefault* s = Find(key);
    return s && s->IsInteger ? s->IntegerDefault : 0;
}

std::wstring DefaultString(const std::string& key)
{
    const SettingDefault* s = Find(key);
    return s && !s->IsInteger ? s->StringDefault : L"";
}

int ReadIntSetting(const ISettingsStore& store, const std::string& key)
{
    return store.GetInt(key, DefaultInt(key));
}

std::wstring ReadStringSetting(const ISettingsStore& store, const std::string& key)
{
    return store.GetString(key, DefaultString(key));
}

bool WriteDefaultSettings(ISettingsStore& store)
{
    for (const auto& s : kTable) {
        const bool ok = s.IsInteger ? store.SetInt(s.Key, s.IntegerDefault) : store.SetString(s.Key, s.StringDefault);
        if (!ok) return false;
    }
    return true;
}

bool EnsureDefaultSettings(ISettingsStore& store)
{
    if (store.GetInt("GPSStampngIncGPSCoord", -1) != -1) return false;
    WriteDefaultSettings(store);
    return true;
}
