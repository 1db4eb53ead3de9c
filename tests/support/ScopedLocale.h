#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace testsupport {

// Switches the whole process to a locale for a scope and back after it.
// Locales other than C come from the system or from the folder LOCPATH
// names (.ci/run generates a few there with localedef).
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name) : m_previous(std::setlocale(LC_ALL, nullptr)) {
        m_active = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~ScopedLocale() { std::setlocale(LC_ALL, m_previous.c_str()); }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

    // False when the locale is not installed; the process's locale is then
    // unchanged.
    bool active() const { return m_active; }

private:
    std::string m_previous;
    bool m_active = false;
};

// The locales the date and time texts are tested under: 24-hour with ':',
// 24-hour with '.', 12-hour with non-Latin AM/PM words, and one whose time
// format has no separators of its own.
inline constexpr const char* kTimeLocales[] = {"C.UTF-8", "fi_FI.UTF-8", "hi_IN.UTF-8",
                                               "ja_JP.UTF-8"};

// The name of a test row for one of those locales: "fi_FI" for "fi_FI.UTF-8".
inline std::string localeRowName(const ::testing::TestParamInfo<const char*>& row) {
    const std::string name = row.param;
    return name.substr(0, name.find('.'));
}

}  // namespace testsupport
