// The main window's history with scripted pings and a real database: the list fill and a pass are recorded for the
// machines they pinged (not the excluded one, nor other groups) under their normalised keys; a history that cannot
// be written is said once and the passes go on; a history that is off is not written.
#include "ui/MainDlgWindow.h"

using namespace lanwick;
using namespace lanwick::test;

namespace {

history::MachineHistory ReadBack(const std::string& strPath, const history::MachineKey& key) {
    history::CHistoryReader reader;
    std::string strError;
    if (!reader.Open(strPath, &strError))
        qFatal("history not readable: %s", strError.c_str());
    const std::int64_t nNow = static_cast<std::int64_t>(std::time(nullptr)) + 3600;
    return reader.Read(key, nNow - 48 * 3600, nNow);
}

int Checks(const history::MachineHistory& h) {
    int n = 0;
    for (const history::HourStats& hour : h.hours)
        n += hour.nChecks;
    return n;
}

} // namespace

class TestMainDlgHistory : public QObject {
    Q_OBJECT
private slots:
    void FillAndPass_RecordTheMachinesTheyPinged() {
        Window w;
        w.WriteMachines(TwoGroups);
        const std::string strPath = w.Path("history.db").toStdString();
        w.services.history = history::HistoryOptions{true, strPath};
        w.pinger.SetResult("10.2.0.1", 800);
        w.Start(); // the list fill of group Lab
        w.pinger.SetResult("10.2.0.2", 2500);
        w.Pass();
        w.dlg->HistoryWriter()->Flush();
        QVERIFY(w.messages.isEmpty());
        // bench's MAC is the no-answer mark: it is known by its address alone.
        const history::MachineHistory bench = ReadBack(strPath, {"10.2.0.1", ""});
        QCOMPARE(Checks(bench), 2);
        const history::MachineHistory scope = ReadBack(strPath, {"10.2.0.2", "08:00:20:12:ab:01"});
        QCOMPARE(Checks(scope), 2);
        QCOMPARE(scope.hours.back().nAnswered, 1);
        QVERIFY(!ReadBack(strPath, {"10.2.0.3", "08:00:20:12:ab:02"}).bKnown);
        QVERIFY(!ReadBack(strPath, {"10.1.0.1", "00:a0:c9:12:34:56"}).bKnown);
    }

    void UnwritableHistory_SaidOnceAndThePassesGoOn_HistoryOffWritesNothing() {
        Window w;
        w.WriteMachines(TwoGroups);
        // A folder where the file should be: nothing can be stored.
        w.services.history = history::HistoryOptions{true, w.dir.path().toStdString()};
        w.pinger.SetResult("10.2.0.1", 800);
        w.Start();
        for (int n = 0; n < 3; ++n)
            w.Pass();
        QTRY_COMPARE(w.messages.size(), 1);
        QVERIFY2(w.messages[0].startsWith(QStringLiteral("The history stopped recording: ")),
                 qPrintable(w.messages[0]));
        QVERIFY(!w.dlg->HistoryWriter()->PauseReason().empty());
        QCOMPARE(w.pinger.Calls().size(), std::size_t{4});
        QCOMPARE(w.Column(3), QStringList({"Yes", "No", "Exc"}));
        QTest::qWait(50); // room for a second message, which must not come
        QCOMPARE(w.messages.size(), 1);

        Window off;
        off.WriteMachines(TwoGroups);
        off.services.history = history::HistoryOptions{false, off.Path("history.db").toStdString()};
        off.Start();
        off.Pass();
        QVERIFY(!off.dlg->HistoryWriter());
        QVERIFY(!QFile::exists(off.Path("history.db")));
    }
};

QTEST_MAIN(TestMainDlgHistory)
#include "tst_MainDlgHistory.moc"
