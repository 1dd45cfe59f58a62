// ScratchFolder: a fresh folder of its own for work files (tests, benchmarks,
// fuzz targets), removed with everything in it when the holder goes.
#pragma once

#include <string>

class ScratchFolder {
public:
    // Where the folder is made.
    enum class Place {
        Temp,    // /tmp
        Memory,  // /dev/shm where it can be made (saves fsync every file), else /tmp
    };

    // Makes <place>/<pszPrefix>-XXXXXX, the X replaced so that the name is
    // new. IsValid() tells whether it was made.
    explicit ScratchFolder(const char* pszPrefix = "vw-scratch", Place place = Place::Temp);
    // Removes the folder and everything in it (errors ignored; call Remove
    // first to hear of them).
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool IsValid() const { return !m_path.empty(); }
    // The folder, without a trailing '/'; "" when it could not be made.
    const std::string& Path() const { return m_path; }
    // The folder followed by '/' and the name.
    std::string File(const std::string& name) const { return m_path + "/" + name; }

    // Removes the folder and everything in it now. False, with *pError
    // (when given) saying why, when something could not be removed; the
    // holder forgets the folder either way.
    bool Remove(std::string* pError = nullptr);

    // Hands the folder over: the holder no longer removes it. Returns its path.
    std::string Release();

private:
    std::string m_path;
};
