// Placeholder bodies so that the callers of the history build while the writer and the reader are written.
#include "history/History.h"

namespace lanwick::history {

std::string DefaultHistoryPath(const std::string&) {
    return {};
}

std::string DefaultHistoryPath(const std::string&, const char*, const char*, const char*) {
    return {};
}

HistoryOptions LoadHistoryOptions(const std::string&, const std::string& strExeDir) {
    return {true, DefaultHistoryPath(strExeDir)};
}

struct CHistoryWriter::Impl {
    std::string strPath;
};

CHistoryWriter::CHistoryWriter(const std::string& strPath, std::int64_t) : m_pImpl(std::make_unique<Impl>()) {
    m_pImpl->strPath = strPath;
}
CHistoryWriter::~CHistoryWriter() = default;
void CHistoryWriter::Record(PassRecord) {}
void CHistoryWriter::Flush() {}
std::string CHistoryWriter::PauseReason() const {
    return {};
}
void CHistoryWriter::OnPause(std::function<void(const std::string&)>) {}
const std::string& CHistoryWriter::Path() const {
    return m_pImpl->strPath;
}

struct CHistoryReader::Impl {};
CHistoryReader::CHistoryReader() : m_pImpl(std::make_unique<Impl>()) {}
CHistoryReader::~CHistoryReader() = default;
bool CHistoryReader::Open(const std::string&, std::string*) {
    return false;
}
MachineHistory CHistoryReader::Read(const MachineKey&, std::int64_t, std::int64_t) const {
    return {};
}
std::vector<MachineKey> CHistoryReader::Machines() const {
    return {};
}

std::string NormaliseMac(const std::string&) {
    return {};
}

} // namespace lanwick::history
