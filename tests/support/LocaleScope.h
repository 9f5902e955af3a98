// Runs part of a test under another locale the way the window does once the
// toolkit took the user's locale: the C locale (printf, strtod) and the
// global C++ locale (streams) both switched, both restored afterwards.
#pragma once

#include <clocale>
#include <locale>
#include <stdexcept>
#include <string>

namespace testsupport {

class LocaleScope {
public:
    explicit LocaleScope(const std::string& name) : savedCpp_(std::locale())
    {
        const char* saved = std::setlocale(LC_ALL, nullptr);
        savedC_ = saved ? saved : "C";
        try {
            std::locale::global(std::locale(name));
        } catch (const std::runtime_error&) {
            return;  // not generated here: Active() says so
        }
        active_ = std::setlocale(LC_ALL, name.c_str()) != nullptr;
    }
    ~LocaleScope()
    {
        std::locale::global(savedCpp_);
        std::setlocale(LC_ALL, savedC_.c_str());
    }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;

    bool Active() const { return active_; }

private:
    std::locale savedCpp_;
    std::string savedC_;
    bool active_ = false;
};

// The locales every number written or read as text is checked under: one
// with a full stop and two with a decimal comma.
inline const char* const kTestLocales[] = {"C", "de_DE.UTF-8", "fr_FR.UTF-8"};

}  // namespace testsupport
