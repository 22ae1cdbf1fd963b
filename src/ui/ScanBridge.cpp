// Reports are copied into plain strings on the reporting thread and become Qt strings on the window thread.
#include "ui/ScanBridge.h"

#include "discovery/ScanColumns.h"

namespace lanwick {

void CScanBridge::OnScanFound(const std::string& strAddress, const std::string& strMac) {
    m_mailbox.Post([this, strAddress, strMac] {
        emit ScanFound(QString::fromStdString(strAddress), QString::fromStdString(strMac));
    });
}

void CScanBridge::OnScanStep() {
    m_mailbox.Post([this] { emit ScanStep(); });
}

void CScanBridge::OnScanDone() {
    m_mailbox.Post([this] { emit ScanDone(); });
}

void CScanBridge::OnNameAnswer(std::uint64_t key, const std::optional<std::string>& name) {
    m_mailbox.Post(
        [this, key, strName = NameColumnText(name)] { emit NameResolved(key, QString::fromStdString(strName)); });
}

} // namespace lanwick
