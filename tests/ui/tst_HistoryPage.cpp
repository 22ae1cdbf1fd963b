// The machine sheet's History page on the offscreen platform: after the two pages it leaves as they were, read
// only once shown and off the window thread, its uptime texts, the plot's points and strip, a span change that
// reads again (the newest answer wins), the texts without a history, and a real writer's database end to end.
#include "probes/VendorTable.h"
#include "ui/HistoryPlot.h"
#include "ui/MachineSheet.h"

#include "controls/ControlId.h"
#include "controls/DialogUnits.h"

#include <QComboBox>
#include <QLabel>
#include <QTabBar>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>
#include <QtTest>

#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <mutex>

using namespace lanwick;
using history::HourStats;
using history::MachineHistory;

namespace {

constexpr std::int64_t kNow = 1796000400; // on the hour
constexpr std::int64_t kHour = 3600;

CMachine Sample() {
    return CMachine({198, 18, 0, 10}, "00A0C9123456", "Lab", "printer", 0, 1, 0);
}

// A scripted database: answers as set, with the span's length in days as the 24-hour uptime in percent where
// asked to; records the spans asked, and can hold the first answer until released.
struct CScriptedHistory {
    std::mutex lock;
    std::condition_variable released;
    bool bHoldFirst = false;
    bool bSpanAsUptime = false;
    HistoryAnswer answer;
    std::vector<std::pair<std::int64_t, std::int64_t>> asked;
    bool bFirstDone = false;
    bool bOffThread = true;

    HistorySource Source() {
        HistorySource source;
        source.nNow = kNow;
        source.read = [this, window = QThread::currentThread()](const history::MachineKey&, std::int64_t nSince,
                                                                std::int64_t nNow) {
            std::unique_lock guard(lock);
            asked.emplace_back(nSince, nNow);
            bOffThread = bOffThread && QThread::currentThread() != window;
            const bool bFirst = asked.size() == 1;
            if (bFirst)
                released.wait(guard, [this] { return !bHoldFirst; });
            bFirstDone = bFirstDone || bFirst;
            HistoryAnswer given = answer;
            if (bSpanAsUptime)
                given.history.uptime.d24h = static_cast<double>(nNow - nSince) / (100.0 * 86400);
            return given;
        };
        return source;
    }
    void Release() {
        {
            std::lock_guard guard(lock);
            bHoldFirst = false;
        }
        released.notify_all();
    }
    std::size_t Asked() {
        std::lock_guard guard(lock);
        return asked.size();
    }
    bool FirstDone() {
        std::lock_guard guard(lock);
        return bFirstDone;
    }
};

// Three hours of yesterday evening: steady, partly answered, and all down.
MachineHistory ThreeHours() {
    MachineHistory h;
    h.bKnown = true;
    h.uptime = {0.995, 1.0, -1};
    h.hours = {{kNow - 5 * kHour, 60, 60, 0.2, 0.4, 0.9},
               {kNow - 4 * kHour, 60, 30, 1.0, 2.0, 3.0},
               {kNow - 3 * kHour, 60, 0, -1, -1, -1}};
    h.changes = {{kNow - 4 * kHour + 600, false}, {kNow - 4 * kHour + 1200, true}};
    h.nStateBefore = 1;
    return h;
}

QString Text(QWidget* root, int id) {
    return FindControl<QLabel>(root, id)->text();
}

QStringList Uptimes(QWidget* page) {
    return {Text(page, CHistPp::IDC_UPTIME_24H), Text(page, CHistPp::IDC_UPTIME_7D),
            Text(page, CHistPp::IDC_UPTIME_30D)};
}

bool Near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) < 40;
}

// The plot's colour at the point of an hour: its average dot or its strip.
QColor AverageAt(CHistoryPlot* plot, const QImage& image, const HourStats& hour) {
    return image.pixelColor(plot->AveragePoint(hour).toPoint());
}
QColor StripAt(CHistoryPlot* plot, const QImage& image, const HourStats& hour) {
    return image.pixelColor(plot->StripPoint(hour).toPoint());
}

// Shows the sheet of the sample machine with a History page on `source`, opens that page and waits for its read.
CHistPp* OpenHistory(CMachineSheet& sheet, const HistorySource& source, bool bWait = true) {
    sheet.AddHistoryPage(source);
    sheet.show();
    if (!sheet.SetActivePage(2))
        return nullptr;
    if (bWait && !QTest::qWaitFor([&] { return !sheet.HistoryPage()->IsReading(); }))
        return nullptr;
    return sheet.HistoryPage();
}

} // namespace

class TestHistoryPage : public QObject {
    Q_OBJECT
private slots:
    void Sheet_HistoryComesAfterTheTwoPagesAndReadsOnlyWhenShown() {
        CScriptedHistory db;
        db.answer = {true, ThreeHours(), {}};
        CMachineSheet sheet(Sample(), VendorTableData(), VendorTableSize());
        sheet.AddHistoryPage(db.Source());
        sheet.show();
        QCOMPARE(FindControl<QTabBar>(&sheet, CPropertySheet::IDC_TAB_CONTROL)->tabText(2), QStringLiteral("History"));
        QCOMPARE(sheet.GetActiveIndex(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(db.Asked(), std::size_t{0});
        // The machine's own pages keep the sheet's size as it was without a History page; only that page grows it.
        CMachineSheet without(Sample(), VendorTableData(), VendorTableSize());
        without.show();
        QTRY_COMPARE(sheet.size(), without.size());
        QVERIFY(sheet.SetActivePage(2));
        QTRY_VERIFY(sheet.width() >= DluX(300) && sheet.height() > DluY(205));
        QTRY_VERIFY(!sheet.HistoryPage()->IsReading());
        QVERIFY(sheet.SetActivePage(1));
        QTRY_COMPARE(sheet.size(), without.size());
        QVERIFY(sheet.SetActivePage(2));
        QCOMPARE(db.Asked(), std::size_t{1});
        QVERIFY(db.bOffThread);
        QCOMPARE(db.asked[0], std::make_pair(kNow - 24 * kHour, kNow));
        // OK from the History page still hands back the first two pages' values.
        sheet.accept();
        QCOMPARE(sheet.Values().strName, std::string("printer"));
        QCOMPARE(sheet.Values().bNotify, 1);
        // An address not in the list (the General page alone) has no history to show.
        CMachineSheet alone(IpAddress{198, 18, 0, 77}, VendorTableData(), VendorTableSize());
        alone.AddHistoryPage(db.Source());
        QCOMPARE(alone.GetPageCount(), 1);
    }

    void Page_ShowsUptimeThePlottedHoursTheChangesAndAPause() {
        CScriptedHistory db;
        db.answer = {true, ThreeHours(), {}};
        HistorySource source = db.Source();
        source.strNote = "Recording paused: disk full"; // what it holds is still shown, the reason beside it
        CMachineSheet sheet(Sample(), VendorTableData(), VendorTableSize());
        CHistPp* page = OpenHistory(sheet, source);
        QVERIFY(page);
        QCOMPARE(Text(page, CHistPp::IDC_NOTE), QStringLiteral("Recording paused: disk full"));
        QCOMPARE(Uptimes(page), QStringList({"99.5 %", "100 %", "no checks"}));

        CHistoryPlot* plot = page->Plot();
        QVERIFY(plot->Message().isEmpty());
        QCOMPARE(plot->ScaleMaxMs(), 5.0);
        const QImage image = plot->grab().toImage();
        const MachineHistory h = ThreeHours();
        QVERIFY(Near(AverageAt(plot, image, h.hours[0]), CHistoryPlot::kAverageColour)); // below 1 ms still drawn
        QVERIFY(Near(AverageAt(plot, image, h.hours[1]), CHistoryPlot::kAverageColour));
        QVERIFY(Near(StripAt(plot, image, h.hours[0]), CHistoryPlot::kUpColour));
        QVERIFY(Near(StripAt(plot, image, h.hours[1]), CHistoryPlot::kMixedColour));
        QVERIFY(Near(StripAt(plot, image, h.hours[2]), CHistoryPlot::kDownColour));
        // An hour without checks leaves the strip and the line empty.
        HourStats unchecked{kNow - 10 * kHour, 0, 0, 1.0, 1.0, 1.0};
        QCOMPARE(StripAt(plot, image, unchecked), plot->palette().color(QPalette::Base));
        QVERIFY(!Near(AverageAt(plot, image, unchecked), CHistoryPlot::kAverageColour));

        auto* changes = FindControl<QTreeWidget>(page, CHistPp::IDC_CHANGES);
        QCOMPARE(changes->topLevelItemCount(), 2);
        const QString strBack = QDateTime::fromSecsSinceEpoch(kNow - 4 * kHour + 1200).toString("HH:mm:ss");
        QVERIFY2(changes->topLevelItem(0)->text(0).endsWith(strBack), qPrintable(changes->topLevelItem(0)->text(0)));
        QCOMPARE(changes->topLevelItem(0)->text(1), QStringLiteral("came online"));
        QCOMPARE(changes->topLevelItem(1)->text(1), QStringLiteral("went offline"));
    }

    void SpanChange_ReadsAgainAndOnlyTheNewestAnswerIsShown() {
        CScriptedHistory db;
        db.answer = {true, ThreeHours(), {}};
        db.bSpanAsUptime = true;
        db.bHoldFirst = true;
        CMachineSheet sheet(Sample(), VendorTableData(), VendorTableSize());
        CHistPp* page = OpenHistory(sheet, db.Source(), false);
        QTRY_COMPARE(db.Asked(), std::size_t{1});
        QCOMPARE(page->Plot()->Message(), QStringLiteral("Reading..."));
        QCOMPARE(Text(page, CHistPp::IDC_UPTIME_24H), QStringLiteral("-"));
        // The window goes on meanwhile: the 30-day span is read while the 24-hour read still hangs.
        auto* span = FindControl<QComboBox>(page, CHistPp::IDC_SPAN);
        QCOMPARE(span->count(), 3);
        span->setCurrentIndex(2);
        QTRY_VERIFY(!page->IsReading());
        QCOMPARE(page->Reads(), 2);
        QCOMPARE(db.asked[1], std::make_pair(kNow - 30 * 24 * kHour, kNow));
        QCOMPARE(Text(page, CHistPp::IDC_UPTIME_24H), QStringLiteral("30.0 %"));
        // The first read's late answer is dropped.
        db.Release();
        QTRY_VERIFY(db.FirstDone());
        QTest::qWait(100); // room for the late answer to land, which must change nothing
        QCOMPARE(Text(page, CHistPp::IDC_UPTIME_24H), QStringLiteral("30.0 %"));
        QVERIFY(page->Plot()->Message().isEmpty());
    }

    void WithoutHistory_SaysWhy() {
        const std::pair<HistoryAnswer, QString> cases[] = {
            {{false, {}, "The history is off."}, "The history is off."},
            {{true, MachineHistory{}, {}},
             "No history yet: this machine has not been checked since the history began."},
        };
        for (const auto& [answer, expected] : cases) {
            CScriptedHistory db;
            db.answer = answer;
            CMachineSheet sheet(Sample(), VendorTableData(), VendorTableSize());
            CHistPp* page = OpenHistory(sheet, db.Source());
            QVERIFY(page);
            QCOMPARE(page->Plot()->Message(), expected);
            QCOMPARE(Uptimes(page), QStringList({"-", "-", "-"}));
        }
        // A file that is not there is never created by looking.
        QTemporaryDir dir;
        const QString strMissing = dir.filePath("none.db");
        CMachineSheet sheet(Sample(), VendorTableData(), VendorTableSize());
        CHistPp* page = OpenHistory(sheet, DatabaseHistory(strMissing.toStdString()));
        QVERIFY(page);
        QVERIFY(page->Plot()->Message().startsWith(QStringLiteral("No history to show: ")));
        QVERIFY(!QFile::exists(strMissing));
    }

    void UptimeText_RoundsDownAndSaysNoChecks() {
        QStringList texts;
        for (double dShare : {-1.0, 0.0, 0.9996, 1.0, 0.5})
            texts << UptimeText(dShare);
        QCOMPARE(texts, QStringList({"no checks", "0.0 %", "99.9 %", "100 %", "50.0 %"}));
    }

    void EndToEnd_ARealWritersPassesShowOnThePage() {
        QTemporaryDir dir;
        const std::string strPath = dir.filePath("history.db").toStdString();
        const CMachine machine = Sample();
        const std::int64_t nNow = static_cast<std::int64_t>(std::time(nullptr)) / kHour * kHour;
        {
            history::CHistoryWriter writer(strPath);
            // Two hours ago three passes answered in 1, 2, 3 ms; an hour ago two went unanswered.
            for (int n = 0; n < 3; ++n)
                writer.Record({nNow - 2 * kHour + 60 * n, {{history::KeyOf(machine), 1000 * (n + 1)}}});
            for (int n = 0; n < 2; ++n)
                writer.Record({nNow - kHour + 60 * n, {{history::KeyOf(machine), -1}}});
            writer.Flush();
            QCOMPARE(writer.PauseReason(), std::string());
        }
        CMachineSheet sheet(machine, VendorTableData(), VendorTableSize());
        CHistPp* page = OpenHistory(sheet, DatabaseHistory(strPath));
        QVERIFY(page);
        QCOMPARE(page->Plot()->Message(), QString());
        QCOMPARE(Text(page, CHistPp::IDC_UPTIME_24H), QStringLiteral("60.0 %"));
        auto* changes = FindControl<QTreeWidget>(page, CHistPp::IDC_CHANGES);
        QCOMPARE(changes->topLevelItemCount(), 2); // first seen online, then offline
        QCOMPARE(changes->topLevelItem(0)->text(1), QStringLiteral("went offline"));
        const QImage image = page->Plot()->grab().toImage();
        const HourStats answered{nNow - 2 * kHour, 3, 3, 1.0, 2.0, 3.0};
        QVERIFY(Near(AverageAt(page->Plot(), image, answered), CHistoryPlot::kAverageColour));
        QVERIFY(Near(StripAt(page->Plot(), image, {nNow - kHour, 2, 0, -1, -1, -1}), CHistoryPlot::kDownColour));
    }
};

QTEST_MAIN(TestHistoryPage)
#include "tst_HistoryPage.moc"
