// Scan reports as Qt signals; the receivers' queued connections carry them to the window thread.
#include "ui/ScanBridge.h"

#include "discovery/ScanColumns.h"

namespace lanwick {

void CScanBridge::OnScanFound(const std::string& strAddress, const std::string& strMac) {
    emit ScanFound(QString::fromStdString(strAddress), QString::fromStdString(strMac));
}

void CScanBridge::OnScanStep() {
    emit ScanStep();
}

void CScanBridge::OnScanDone() {
    emit ScanDone();
}

void CScanBridge::OnNameAnswer(std::uint64_t key, const std::optional<std::string>& name) {
    emit NameResolved(key, QString::fromStdString(NameColumnText(name)));
}

} // namespace lanwick
