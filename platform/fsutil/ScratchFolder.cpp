#include "platform/fsutil/ScratchFolder.h"

#include <stdlib.h>

#include <filesystem>
#include <system_error>

namespace {

std::string MakeUnder(const char* pszBase, const char* pszPrefix)
{
    std::string pattern = std::string(pszBase) + "/" + (pszPrefix != nullptr ? pszPrefix : "vw-scratch") + "-XXXXXX";
    return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

}  // namespace

ScratchFolder::ScratchFolder(const char* pszPrefix, Place place)
{
    if (place == Place::Memory)
        m_path = MakeUnder("/dev/shm", pszPrefix);
    if (m_path.empty())
        m_path = MakeUnder("/tmp", pszPrefix);
}

ScratchFolder::~ScratchFolder()
{
    Remove();
}

bool ScratchFolder::Remove(std::string* pError)
{
    if (m_path.empty())
        return true;
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
    m_path.clear();
    if (ec && pError != nullptr)
        *pError = ec.message();
    return !ec;
}

std::string ScratchFolder::Release()
{
    std::string path = std::move(m_path);
    m_path.clear();
    return path;
}
