// The main window and the files it shares with others: files it could not read, or not whole, and a machine file
// that another writer changed behind it.
#include "ui/MainDlgWindow.h"

#include <QFileInfo>

using namespace lanwick;
using namespace lanwick::test;

class TestMainDlgFiles : public QObject {
    Q_OBJECT
private slots:
    void UnreadableFiles_AreNamedOnceTheWindowIsUp();
    void LossyLoad_ToldOnceAndOriginalKeptBeforeTheFirstSave();
    void ChangedOnDisk_AskedBeforeSavingAndReloadKeepsTheOtherWritersMachines();
};

void TestMainDlgFiles::UnreadableFiles_AreNamedOnceTheWindowIsUp() {
    // Far too large to be what they claim (sparse: they take no room on disk).
    Window w;
    QFile machines(w.Path("machines.xml"));
    QVERIFY(machines.open(QIODevice::WriteOnly) && machines.resize(qint64{300} << 20));
    QFile ini(w.Path("Lanwick.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly) && ini.resize(qint64{2} << 20));
    w.Start();
    QTRY_COMPARE(w.messages.size(), 2);
    QVERIFY2(w.messages[0].startsWith(QStringLiteral("The settings file ") + w.Path("Lanwick.ini")),
             qPrintable(w.messages[0]));
    QVERIFY(w.messages[0].contains(QStringLiteral("default settings")));
    QVERIFY2(w.messages[1].startsWith(QStringLiteral("The machine file ") + w.Path("machines.xml")),
             qPrintable(w.messages[1]));
    QCOMPARE(w.dlg->Machines().GetCount(), std::size_t{0});
    QCOMPARE(QFileInfo(w.Path("machines.xml")).size(), qint64{300} << 20);
}

void TestMainDlgFiles::LossyLoad_ToldOnceAndOriginalKeptBeforeTheFirstSave() {
    Window w;
    w.WriteMachines(TwoGroups);
    // Count 3 of 4: the last machine is not read, and a save would drop it.
    const QString strOriginal = w.FileText().replace(QStringLiteral("<Count mach=\"4\">"), "<Count mach=\"3\">");
    QFile file(w.Path("machines.xml"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(strOriginal.toLatin1()) > 0);
    file.close();
    w.Start();
    QTRY_COMPARE(w.messages.size(), 1);
    QVERIFY2(w.messages[0].contains(QStringLiteral("holds 1 machine beyond its count, not read")),
             qPrintable(w.messages[0]));
    QVERIFY(w.messages[0].contains(w.Path("machines.xml.bak")));
    QCOMPARE(w.dlg->Machines().GetCount(), std::size_t{3});
    QVERIFY(!QFile::exists(w.Path("machines.xml.bak")));
    w.SelectRow(0);
    w.dlg->OnDeleteMachine();
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.FileText("machines.xml.bak"), strOriginal);
    QVERIFY(!w.FileText().contains(QStringLiteral("bench")));
    // Only the first save keeps the original: a later one does not overwrite it with the shortened file.
    w.dlg->OnSaveFile();
    QCOMPARE(w.FileText("machines.xml.bak"), strOriginal);
    QCOMPARE(w.messages.size(), 1);
}

// Another writer (a command line adding what it found) saves the file while the window shows it.
void TestMainDlgFiles::ChangedOnDisk_AskedBeforeSavingAndReloadKeepsTheOtherWritersMachines() {
    const struct {
        const char* what;
        std::optional<bool> answer;
        bool bOtherInFile, bBenchInFile;
        std::size_t nInList;
    } cases[] = {
        {"reload", true, true, true, 4},         // the file as the other writer left it; the delete is not saved
        {"overwrite", false, false, false, 2},   // the window's list, as the operator chose
        {"cancel", std::nullopt, true, true, 2}, // nothing written
    };
    for (const auto& c : cases) {
        Window w;
        w.WriteMachines(TwoGroups);
        w.Start();
        // Saves of the window's own do not count as changes behind it, and a whole file is saved without a copy.
        w.SelectRow(2);
        w.dlg->OnDeleteMachine();
        QVERIFY(w.dlg->WaitIdle(5000));
        QVERIFY2(w.reloadQuestions.isEmpty() && w.messages.isEmpty(), c.what);
        QVERIFY(!QFile::exists(w.Path("machines.xml.bak")));

        CMachineList other;
        QCOMPARE(other.LoadFile(w.Path("machines.xml").toStdString()), 0);
        other.AddMachine({10, 2, 0, 77}, "00A0C9000077", "Lab", "other-writer", 0);
        QVERIFY(other.SaveFile(w.Path("machines.xml").toStdString()));
        w.reloadAnswer = c.answer;
        w.SelectRow(0);
        w.dlg->OnDeleteMachine();
        QVERIFY(w.dlg->WaitIdle(5000));
        QCOMPARE(w.reloadQuestions.size(), 1);
        QVERIFY(w.reloadQuestions[0].contains(w.Path("machines.xml")));
        QTRY_COMPARE(w.dlg->Machines().GetCount(), c.nInList);
        QVERIFY(w.dlg->WaitIdle(5000));
        QCOMPARE(w.FileText().contains(QStringLiteral("other-writer")), c.bOtherInFile);
        QCOMPARE(w.FileText().contains(QStringLiteral("bench")), c.bBenchInFile);
    }
}

QTEST_MAIN(TestMainDlgFiles)
#include "tst_MainDlgFiles.moc"
