#include "GeocodingConfig.h"

namespace {

const wchar_t* const kPlaceholderAccount = L"tqvk517";

}  // namespace

bool IsPlaceholderAccount(const std::wstring& user)
{
    return user == kPlaceholderAccount;
}

std::wstring EffectiveAccount(const std::wstring& stored)
{
    const std::size_t begin = stored.find_first_not_of(L" \t\r\n");
    if (begin == std::wstring::npos) return {};
    const std::wstring user = stored.substr(begin, stored.find_last_not_of(L" \t\r\n") - begin + 1);
    return IsPlaceholderAccount(user) ? std::wstring() : user;
}

AddressSource AddressSourceFromSetting(const std::wstring& value)
{
    return value == L"Offline" ? AddressSource::Offline : AddressSource::Online;
}

const wchar_t* AddressSourceSetting(AddressSource source)
{
    return source == AddressSource::Offline ? L"Offline" : L"Online";
}
