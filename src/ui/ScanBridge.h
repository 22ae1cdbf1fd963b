// The one adapter between the scan's threads and the window: worker and name lookup reports travel through a
// mailbox to the window thread and are emitted there as signals.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>

#include "discovery/ScanWorker.h"
#include "ui/WindowMailbox.h"

namespace lanwick {

class CScanBridge final : public QObject, public IScanSink {
    Q_OBJECT
public:
    // Created on the window thread, where its signals are emitted.
    explicit CScanBridge(QObject* pParent = nullptr) : QObject(pParent) {}

    // Called on worker threads.
    void OnScanFound(const std::string& strAddress, const std::string& strMac) override;
    void OnScanStep() override;
    void OnScanDone() override;
    // Called on a lookup thread: the name column's text ("n/a" when there is no name) for the request key.
    void OnNameAnswer(std::uint64_t key, const std::optional<std::string>& name);

signals:
    void ScanFound(const QString& strAddress, const QString& strMac);
    void ScanStep();
    void ScanDone();
    void NameResolved(quint64 key, const QString& strName);

private:
    CWindowMailbox m_mailbox;
};

} // namespace lanwick
