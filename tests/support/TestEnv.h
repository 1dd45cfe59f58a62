// Environment variables changed for the length of one test and put back
// afterwards, so that no test sees what an earlier one set.
#pragma once

#include <stdlib.h>

#include <optional>
#include <string>

namespace vwtest {

// Sets the variable to the value, or removes it when the value is nullptr;
// when the holder goes, the variable is as it was before, set or absent.
class ScopedEnv {
public:
    ScopedEnv(const char* pszName, const char* pszValue) : m_name(pszName)
    {
        if (const char* pszOld = getenv(pszName))
            m_old = pszOld;
        if (pszValue != nullptr)
            setenv(pszName, pszValue, 1);
        else
            unsetenv(pszName);
    }
    ~ScopedEnv()
    {
        if (m_old)
            setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

}  // namespace vwtest
