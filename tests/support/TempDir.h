// A fresh folder for the tests' files, removed with everything in it, and whole-file reads and writes.
#pragma once

#include <string>

namespace lanwick::test {

// A file's whole content as bytes ("" when it cannot be read), and a file written with exactly these bytes.
std::string ReadFile(const std::string& strPath);
void WriteFile(const std::string& strPath, const std::string& strText);

// Made under LANWICK_LAN_DIR (the LAN fixture's scratch folder) when set, else the system's temporary folder;
// removed at the end even when a test took its permissions away.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::string& Path() const { return m_strPath; }
    std::string File(const std::string& strName) const { return m_strPath + "/" + strName; }
    void Write(const std::string& strName, const std::string& strText) const { WriteFile(File(strName), strText); }
    std::string Read(const std::string& strName) const { return ReadFile(File(strName)); }

private:
    std::string m_strPath;
};

} // namespace lanwick::test
