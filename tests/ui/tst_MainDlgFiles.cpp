// The main window and the machine file it shares with others: a file it could not read whole, and a file that
// another writer changed behind it.
#include "ui/MainDlgWindow.h"

#include <QFile>
#include <QtTest>

using namespace lanwick;
using lanwick::test::kTwoGroups;
using lanwick::test::Window;

class TestMainDlgFiles : public QObject {
    Q_OBJECT

private slots:
    void LossyLoad_ToldOnceAndOriginalKeptBeforeTheFirstSave();
    void ChangedOnDisk_AskedBeforeSavingAndReloadKeepsTheOtherWritersMachines();
};

namespace {

QString ReadText(const QString& strPath) {
    QFile f(strPath);
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
}

} // namespace

void TestMainDlgFiles::LossyLoad_ToldOnceAndOriginalKeptBeforeTheFirstSave() {
    // Count 2 of 4: "scope" and "printer" are not read, and a save would drop them.
    QByteArray text(kTwoGroups);
    text.replace("<Count mach=\"4\">", "<Count mach=\"2\">");
    Window w;
    w.WriteMachines(text.constData());
    w.Start();
    QTRY_COMPARE(w.messages.size(), 1);
    QVERIFY2(w.messages[0].contains(QStringLiteral("holds 2 machines beyond its count, not read")),
             qPrintable(w.messages[0]));
    QVERIFY(w.messages[0].contains(w.Path("machines.xml.bak")));
    QCOMPARE(w.dlg->Machines().GetCount(), std::size_t{2});
    QVERIFY(!QFile::exists(w.Path("machines.xml.bak")));

    w.SelectRow(0);
    w.dlg->OnDeleteMachine();
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(ReadText(w.Path("machines.xml.bak")), QString::fromLatin1(text));
    QVERIFY(!w.FileText().contains(QStringLiteral("bench")));

    // Only the first save keeps the original: later ones do not overwrite it with the shortened file.
    w.SelectRow(0);
    w.dlg->OnDeleteMachine();
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(ReadText(w.Path("machines.xml.bak")), QString::fromLatin1(text));
    QCOMPARE(w.messages.size(), 1);

    // A whole file is saved without a copy.
    Window whole;
    whole.WriteMachines(kTwoGroups);
    whole.Start();
    whole.SelectRow(0);
    whole.dlg->OnDeleteMachine();
    QVERIFY(whole.dlg->WaitIdle(5000));
    QVERIFY(whole.messages.isEmpty());
    QVERIFY(!QFile::exists(whole.Path("machines.xml.bak")));
}

// Another writer (a command line adding what it found) saves the file while the window shows it.
void TestMainDlgFiles::ChangedOnDisk_AskedBeforeSavingAndReloadKeepsTheOtherWritersMachines() {
    const auto addBehindTheWindow = [](const Window& w) {
        CMachineList other;
        QCOMPARE(other.LoadFile(w.Path("machines.xml").toStdString()), 0);
        other.AddMachine({10, 2, 0, 77}, "00A0C9000077", "Lab", "other-writer", 0);
        QVERIFY(other.SaveFile(w.Path("machines.xml").toStdString()));
    };
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
        w.WriteMachines(kTwoGroups);
        w.Start();
        // Saves of the window's own do not count as changes behind it.
        w.SelectRow(2);
        w.dlg->OnDeleteMachine();
        QVERIFY(w.dlg->WaitIdle(5000));
        QVERIFY2(w.reloadQuestions.isEmpty(), c.what);

        addBehindTheWindow(w);
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
