// The machine properties sheet's "History" page: the machine's uptime over 24 hours, 7 and 30 days, a plot of its
// round trips and answers over a chosen span, and its state changes. The history is read off the window thread,
// so the page shows at once and says "Reading..." until the answer comes.
#pragma once

#include "history/History.h"
#include "registry/Machine.h"
#include "ui/PropertySheet.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QComboBox;
class QLabel;
class QTreeWidget;

namespace lanwick {

class CBackgroundJobs;
class CHistoryPlot;

// What a read gives: the history, or (bOk false) why there is none to show.
struct HistoryAnswer {
    bool bOk = false;
    history::MachineHistory history;
    std::string strWhy;
};

// Where the page's history comes from. read runs on a worker thread, one call per job, and may block.
struct HistorySource {
    std::function<HistoryAnswer(const history::MachineKey& key, std::int64_t nSince, std::int64_t nNow)> read;
    std::string strNote;   // shown above the plot, such as why recording paused; empty: nothing
    std::int64_t nNow = 0; // the end of every span in Unix seconds; 0: the clock at each read
};

// Reads the database at strPath, on a connection of each call's own (a reader serves one thread at a time).
HistorySource DatabaseHistory(const std::string& strPath);
// A source with nothing to read: the page says strWhy.
HistorySource NoHistory(const std::string& strWhy);

// "99.9 %" (rounded down, so that a single miss never shows as 100 %), or "no checks".
QString UptimeText(double dShare);

class CHistPp final : public CPropertyPage {
    Q_OBJECT
public:
    enum : int {
        IDD = 140,
        IDC_UPTIME_24H = 1060,
        IDC_UPTIME_7D = 1061,
        IDC_UPTIME_30D = 1062,
        IDC_SPAN = 1063,
        IDC_PLOT = 1064,
        IDC_CHANGES = 1065,
        IDC_NOTE = 1066,
    };
    // The spans of the selector, in its order.
    static constexpr std::int64_t kSpans[] = {24 * 3600, 7 * 24 * 3600, 30 * 24 * 3600};

    CHistPp(const history::MachineKey& key, HistorySource source);
    ~CHistPp() override;

    // Shows a history read for the chosen span ending at nNow.
    void ShowHistory(const history::MachineHistory& machineHistory, std::int64_t nNow);
    bool IsReading() const { return m_bReading; }
    int Reads() const { return m_nReads; }
    CHistoryPlot* Plot() const { return m_pPlot; }

protected:
    bool DoDataExchange(bool bSave) override;
    void OnInitDialog() override;

private:
    void StartRead();
    void OnReadDone(const HistoryAnswer& answer, std::int64_t nNow);
    void ShowWithout(const QString& strWhy);

    history::MachineKey m_key;
    HistorySource m_source;
    std::unique_ptr<CBackgroundJobs> m_pJobs;
    int m_nReads = 0;
    int m_nLatest = 0; // the read whose answer is shown; older answers are dropped
    bool m_bReading = false;

    QLabel* m_pUptime[3];
    QComboBox* m_pSpan;
    QLabel* m_pNote;
    CHistoryPlot* m_pPlot;
    QTreeWidget* m_pChanges;
};

} // namespace lanwick
