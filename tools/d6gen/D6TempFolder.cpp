#include "tools/d6gen/D6TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <unistd.h>

D6TempFolder::D6TempFolder(const char* pszPrefix)
{
    std::string templ = std::string("/tmp/") + pszPrefix + "-XXXXXX";
    if (mkdtemp(templ.data()) != nullptr)
        m_path = templ;
}

D6TempFolder::~D6TempFolder()
{
    if (!m_path.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
}
