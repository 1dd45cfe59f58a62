// A scratch folder under /tmp, removed with everything in it when the
// object goes. For tests and benchmarks.
#pragma once

#include <string>

class D6TempFolder {
public:
    explicit D6TempFolder(const char* pszPrefix = "vw-d6");
    ~D6TempFolder();
    D6TempFolder(const D6TempFolder&) = delete;
    D6TempFolder& operator=(const D6TempFolder&) = delete;

    bool IsValid() const { return !m_path.empty(); }
    const std::string& Path() const { return m_path; }
    // The folder followed by '/' and the name.
    std::string File(const char* pszName) const { return m_path + "/" + pszName; }

private:
    std::string m_path;
};
