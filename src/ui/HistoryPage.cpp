// The History page: its controls at template positions, the reads on the page's own worker pool (the newest
// read wins), and the texts of uptime and state changes in local time.
#include "ui/HistoryPage.h"

#include "controls/DialogUnits.h"
#include "ui/BackgroundJobs.h"
#include "ui/HistoryPlot.h"

#include <QComboBox>
#include <QDateTime>
#include <QFontMetrics>
#include <QLabel>
#include <QTreeWidget>

#include <cmath>
#include <ctime>

namespace lanwick {

HistorySource DatabaseHistory(const std::string& strPath) {
    HistorySource source;
    source.read = [strPath](const history::MachineKey& key, std::int64_t nSince, std::int64_t nNow) {
        HistoryAnswer answer;
        history::CHistoryReader reader;
        std::string strError;
        if (!reader.Open(strPath, &strError)) {
            answer.strWhy = "No history to show: " + strError;
            return answer;
        }
        answer.bOk = true;
        answer.history = reader.Read(key, nSince, nNow);
        return answer;
    };
    return source;
}

HistorySource NoHistory(const std::string& strWhy) {
    HistorySource source;
    source.read = [strWhy](const history::MachineKey&, std::int64_t, std::int64_t) {
        return HistoryAnswer{false, {}, strWhy};
    };
    return source;
}

QString UptimeText(double dShare) {
    if (dShare < 0)
        return QStringLiteral("no checks");
    if (dShare >= 1)
        return QStringLiteral("100 %");
    return QStringLiteral("%1 %").arg(std::floor(dShare * 1000) / 10, 0, 'f', 1);
}

CHistPp::CHistPp(const history::MachineKey& key, HistorySource source)
    : CPropertyPage(IDD, QStringLiteral("History"), 300, 205), m_key(key), m_source(std::move(source)),
      m_pJobs(std::make_unique<CBackgroundJobs>()) {
    // A plot needs room the machine's own pages never did: the sheet grows only while this page is shown.
    KeepOwnSize();
    Label("Uptime:", DluRect(7, 8, 30, 8));
    static constexpr const char* kSpanNames[] = {"24 hours:", "7 days:", "30 days:"};
    static constexpr int kUptimeIds[] = {IDC_UPTIME_24H, IDC_UPTIME_7D, IDC_UPTIME_30D};
    for (int n = 0; n < 3; ++n) {
        Label(kSpanNames[n], DluRect(45 + n * 82, 8, 36, 8));
        m_pUptime[n] = Place(kUptimeIds[n], DluRect(82 + n * 82, 8, 44, 8), new QLabel);
    }
    Label("Span:", DluRect(7, 25, 30, 8));
    m_pSpan = Place(IDC_SPAN, DluRect(45, 22, 70, 12), new QComboBox);
    m_pSpan->addItems({QStringLiteral("24 hours"), QStringLiteral("7 days"), QStringLiteral("30 days")});
    connect(m_pSpan, &QComboBox::currentIndexChanged, this, [this] { StartRead(); });
    m_pNote = Place(IDC_NOTE, DluRect(122, 20, 171, 16), new QLabel);
    m_pNote->setWordWrap(true);
    m_pNote->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_pNote->setStyleSheet(QStringLiteral("color: #b00000"));
    m_pNote->setText(QString::fromStdString(m_source.strNote));
    m_pNote->setToolTip(m_pNote->text()); // two lines may not hold a long path whole
    m_pPlot = Place(IDC_PLOT, DluRect(7, 40, 286, 112), new CHistoryPlot);
    Label("State changes:", DluRect(7, 156, 60, 8));
    m_pChanges = Place(IDC_CHANGES, DluRect(7, 166, 286, 36), new QTreeWidget);
    m_pChanges->setColumnCount(2);
    m_pChanges->setHeaderHidden(true);
    m_pChanges->setRootIsDecorated(false);
    m_pChanges->setSelectionMode(QAbstractItemView::NoSelection);
    m_pChanges->setFocusPolicy(Qt::NoFocus);
    m_pChanges->setColumnWidth(0, QFontMetrics(font()).horizontalAdvance(QStringLiteral("Wed 30 May 2026  00:00:00")) +
                                      16);
    ShowWithout(QStringLiteral("Reading..."));
}

CHistPp::~CHistPp() = default;

bool CHistPp::DoDataExchange(bool) {
    return true; // nothing to edit: the page only shows
}

void CHistPp::OnInitDialog() {
    // Read when first shown, not when the sheet opens: a sheet opened for the name only never touches the file.
    StartRead();
}

void CHistPp::StartRead() {
    if (!IsCreated())
        return;
    const int nRead = ++m_nReads;
    m_nLatest = nRead;
    m_bReading = true;
    ShowWithout(QStringLiteral("Reading..."));
    const std::int64_t nNow = m_source.nNow != 0 ? m_source.nNow : static_cast<std::int64_t>(std::time(nullptr));
    const std::int64_t nSince = nNow - kSpans[std::max(0, m_pSpan->currentIndex())];
    m_pJobs->Run<HistoryAnswer>([read = m_source.read, key = m_key, nSince, nNow] { return read(key, nSince, nNow); },
                                [this, nRead, nNow](HistoryAnswer answer) {
                                    // A span chosen while this read ran has its own read coming.
                                    if (nRead != m_nLatest)
                                        return;
                                    m_bReading = false;
                                    OnReadDone(answer, nNow);
                                });
}

void CHistPp::OnReadDone(const HistoryAnswer& answer, std::int64_t nNow) {
    if (!answer.bOk) {
        ShowWithout(QString::fromStdString(answer.strWhy));
        return;
    }
    if (!answer.history.bKnown) {
        ShowWithout(QStringLiteral("No history yet: this machine has not been checked since the history began."));
        return;
    }
    ShowHistory(answer.history, nNow);
}

void CHistPp::ShowHistory(const history::MachineHistory& machineHistory, std::int64_t nNow) {
    m_pUptime[0]->setText(UptimeText(machineHistory.uptime.d24h));
    m_pUptime[1]->setText(UptimeText(machineHistory.uptime.d7d));
    m_pUptime[2]->setText(UptimeText(machineHistory.uptime.d30d));
    const std::int64_t nSince = nNow - kSpans[std::max(0, m_pSpan->currentIndex())];
    m_pPlot->SetMessage({});
    m_pPlot->SetData(nSince, nNow, machineHistory.hours);
    m_pChanges->clear();
    // Newest first: the last change is the one the operator usually asks about.
    for (auto it = machineHistory.changes.rbegin(); it != machineHistory.changes.rend(); ++it) {
        const QDateTime at = QDateTime::fromSecsSinceEpoch(it->nUnixSeconds);
        new QTreeWidgetItem(m_pChanges, {at.toString(QStringLiteral("ddd d MMM yyyy  HH:mm:ss")),
                                         it->bUp ? QStringLiteral("came online") : QStringLiteral("went offline")});
    }
    if (machineHistory.changes.empty()) {
        const char* pState = machineHistory.nStateBefore == 1   ? "online"
                             : machineHistory.nStateBefore == 0 ? "offline"
                                                                : nullptr;
        auto* pItem = new QTreeWidgetItem(m_pChanges,
                                          {pState ? QStringLiteral("No change in this span: %1 throughout.").arg(pState)
                                                  : QStringLiteral("No change in this span.")});
        pItem->setFirstColumnSpanned(true);
    }
}

void CHistPp::ShowWithout(const QString& strWhy) {
    for (QLabel* pLabel : m_pUptime)
        pLabel->setText(QStringLiteral("-"));
    m_pPlot->SetMessage(strWhy);
    m_pChanges->clear();
}

} // namespace lanwick
