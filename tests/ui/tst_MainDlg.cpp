// The main window driven as an operator would, with a scripted ping provider and lookups, on real files.
#include "controls/ControlId.h"
#include "controls/IpAddressCtrl.h"
#include "controls/XListCtrl.h"
#include "fakes/FakePingProvider.h"
#include "ui/MainDlg.h"
#include "ui/MainDlgWindow.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <future>

using namespace lanwick;
using lanwick::test::CFakePingProvider;
using lanwick::test::kTwoGroups;
using lanwick::test::Window;

class TestMainDlg : public QObject {
    Q_OBJECT
private slots:
    void FirstStart_EmptyListAllMachinesOnlyCountsZeroMonitoringOff();
    void MisspeltSocketsText_StaysAsUsersKnowIt();
    void StartUp_SelectsFirstGroupAndShowsItsStates();
    void StartUp_AfterFirstPaintPingsOnlyOnceShownAndSettlesTheSame();
    void Pass_NamesMachinesThatWentOfflineOrCameOnline();
    void Pass_WithoutChangesNotifiesNothing();
    void Cycle_ATickInAPassIsSkippedAndOnlyTheNewestFillWaitsForIt();
    void GroupSwitch_AllMachinesShowsEveryMachineAndUpdatesCounts();
    void Add_PathsAndTheirMessages();
    void Delete_KeyAndContextMenuBothSave();
    void ContextMenu_GreyingFollowsSelection();
    void Sort_NameAscendingThenDescending();
    void LoadAndSaveAs_KeepTheCurrentFile();
    void EscapeDoesNothingEnterPressesAdd();
    void MonitorToggle_SwitchesTimerIconAndTooltip();
    void AddAnyway_AddsThePagesAddressAndNameWithoutARow();
    void Settings_AppliedInOrderAndWrittenToTheFile();
    void Properties_CopiedBackSavedAndListRebuilt();
    void UnreadableFiles_AreNamedOnceTheWindowIsUp();
};

void TestMainDlg::FirstStart_EmptyListAllMachinesOnlyCountsZeroMonitoringOff() {
    Window w;
    w.Start();
    QCOMPARE(w.List()->GetItemCount(), 0);
    QCOMPARE(w.Combo(1001)->count(), 1);
    QCOMPARE(w.Combo(1001)->itemText(0), QStringLiteral("*All machines"));
    QCOMPARE(w.Combo(1001)->currentIndex(), -1);
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("0/0/0"));
    QCOMPARE(w.dlg->m_nTimerId, 0);
    QCOMPARE(FindControl<QPushButton>(w.dlg.get(), 1043)->toolTip(), QStringLiteral("Monitoring is off"));
    QCOMPARE(w.dlg->windowTitle(), QStringLiteral("Lanwick v0.5"));
    QVERIFY(!QFile::exists(w.Path("Lanwick.ini")));
}

void TestMainDlg::StartUp_SelectsFirstGroupAndShowsItsStates() {
    Window w;
    w.WriteMachines(kTwoGroups);
    w.pinger.SetResult("10.2.0.1", 1234);
    w.pinger.SetResult("10.2.0.2", -1);
    w.Start();
    QCOMPARE(w.Combo(1001)->count(), 3);
    QCOMPARE(w.Combo(1001)->currentText(), QStringLiteral("Lab"));
    QCOMPARE(w.Column(0), QStringList({" bench", " scope", " printer"}));
    QCOMPARE(w.Column(1), QStringList({" 10.2.0.1", " 10.2.0.2", " 10.2.0.3"}));
    QCOMPARE(w.Column(2).at(1), QStringLiteral(" 08:00:20:12:AB:01"));
    QCOMPARE(w.Column(3), QStringList({"Yes", "No", "Exc"}));
    QCOMPARE(w.List()->GetItemTextColor(0, 3), RGB(10, 150, 10));
    QCOMPARE(w.List()->GetItemTextColor(1, 3), RGB(255, 0, 0));
    QCOMPARE(w.List()->GetItemTextColor(2, 3), RGB(0, 0, 15));
    QCOMPARE(w.List()->GetItemBkColor(1, 3), RGB(255, 255, 255));
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("4/3/1"));
    // The excluded machine is never pinged, the hidden group neither.
    QCOMPARE(w.pinger.PingedHosts(), (std::vector<std::string>{"10.2.0.1", "10.2.0.2"}));
}

void TestMainDlg::StartUp_AfterFirstPaintPingsOnlyOnceShownAndSettlesTheSame() {
    Window w;
    w.WriteMachines(kTwoGroups);
    w.pinger.SetResult("10.2.0.1", 1234);
    w.pinger.SetResult("10.2.0.2", -1);
    w.Start(CMainDlg::StartWork::AfterFirstPaint);
    // The first frame has the groups and the counts; the pings, the rows and the popup come after it.
    QCOMPARE(w.Combo(1001)->currentText(), QStringLiteral("Lab"));
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("4/0/0"));
    QVERIFY(w.pinger.PingedHosts().empty());
    QVERIFY(w.dlg->Notifier() == nullptr);
    QVERIFY(w.dlg->IsBusy());
    w.dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.dlg.get()));
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.Column(0), QStringList({" bench", " scope", " printer"}));
    QCOMPARE(w.Column(3), QStringList({"Yes", "No", "Exc"}));
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("4/3/1"));
    QCOMPARE(w.pinger.PingedHosts(), (std::vector<std::string>{"10.2.0.1", "10.2.0.2"}));
    QVERIFY(w.dlg->Notifier() != nullptr);
}

void TestMainDlg::Pass_NamesMachinesThatWentOfflineOrCameOnline() {
    Window w;
    w.WriteMachines(kTwoGroups);
    w.pinger.SetResult("10.2.0.1", -1); // bench (notify) starts offline
    w.pinger.SetResult("10.2.0.2", 700);
    w.Start();
    w.pinger.SetResult("10.2.0.1", 800); // comes online
    w.pinger.SetResult("10.2.0.2", -1);  // goes offline (notify offline)
    w.dlg->OnTimer();
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.notifications, QStringList({"        online\nbench\n       offline\nscope\n"}));
    QCOMPARE(w.Column(3), QStringList({"Yes", "No", "Exc"}));
}

void TestMainDlg::Pass_WithoutChangesNotifiesNothing() {
    Window w;
    w.WriteMachines(kTwoGroups);
    w.pinger.SetResult("10.2.0.1", 800);
    w.pinger.SetResult("10.2.0.2", 800);
    w.Start();
    w.dlg->OnTimer();
    QVERIFY(w.dlg->WaitIdle(5000));
    QVERIFY(w.notifications.isEmpty());
}

void TestMainDlg::Cycle_ATickInAPassIsSkippedAndOnlyTheNewestFillWaitsForIt() {
    Window w;
    w.WriteMachines(kTwoGroups);
    w.pinger.SetDefault(500);
    w.Start();
    const std::size_t nBefore = w.pinger.Calls().size();
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    w.pinger.SetDuringPing([released] { released.wait_for(std::chrono::seconds(5)); });
    w.dlg->OnTimer();
    w.dlg->OnTimer();
    QComboBox* pFilter = w.Combo(1001);
    pFilter->setCurrentIndex(0);
    w.dlg->OnSelchangeGroup();
    pFilter->setCurrentIndex(2);
    w.dlg->OnSelchangeGroup();
    release.set_value();
    QVERIFY(w.dlg->WaitIdle(5000));
    // The pass, then the one fill that saw the last group chosen.
    const auto calls = w.pinger.Calls();
    QCOMPARE(calls.size(), nBefore + 2);
    QCOMPARE(w.Column(0), QStringList({" desk"}));
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("4/1/1"));
}

void TestMainDlg::GroupSwitch_AllMachinesShowsEveryMachineAndUpdatesCounts() {
    Window w;
    w.WriteMachines(kTwoGroups);
    w.pinger.SetDefault(500);
    w.Start();
    QComboBox* pFilter = w.Combo(1001);
    pFilter->setCurrentIndex(0);
    QCOMPARE(pFilter->currentText(), QStringLiteral("*All machines"));
    w.dlg->OnSelchangeGroup();
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.Column(0), QStringList({" desk", " bench", " scope", " printer"}));
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("4/4/3"));
    pFilter->setCurrentIndex(2);
    w.dlg->OnSelchangeGroup();
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.Column(0), QStringList({" desk"}));
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("4/1/1"));
}

void TestMainDlg::Add_PathsAndTheirMessages() {
    Window w;
    w.WriteMachines(kTwoGroups);
    w.pinger.SetDefault(500);
    w.Start();
    auto* pAddress = FindControl<CIPAddressCtrl>(w.dlg.get(), 1002);
    auto* pName = FindControl<QLineEdit>(w.dlg.get(), 1003);
    QComboBox* pGroup = w.Combo(1005);

    w.dlg->OnAddMachine();
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.messages, QStringList({"Nothing to add..."}));

    // Address and name in the shown group: a row at the end, saved, the counts take it in.
    pAddress->SetAddress({10, 2, 0, 7});
    pName->setText(QStringLiteral("newbox"));
    pGroup->setEditText(QStringLiteral("lab"));
    w.dlg->OnAddMachine();
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.List()->GetItemCount(), 4);
    QCOMPARE(w.List()->GetItemText(3, 0), QStringLiteral(" newbox"));
    QCOMPARE(w.List()->GetItemText(3, 2), QStringLiteral(" 00A0C9000001"));
    QCOMPARE(w.List()->GetItemText(3, 3), QStringLiteral("Yes"));
    QVERIFY(w.List()->GetItemData(3) == nullptr);
    QVERIFY(w.FileText().contains(QStringLiteral("<Name>newbox</Name>")));
    QVERIFY(pAddress->IsBlank());
    QVERIFY(pName->text().isEmpty());
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("5/4/3"));

    // A new group: offered in both combos, no row, still saved.
    pAddress->SetAddress({10, 3, 0, 1});
    pName->setText(QStringLiteral("other"));
    pGroup->setEditText(QStringLiteral("Garage"));
    w.dlg->OnAddMachine();
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.List()->GetItemCount(), 4);
    QVERIFY(w.Combo(1001)->findText(QStringLiteral("Garage")) >= 0);
    QVERIFY(pGroup->findText(QStringLiteral("Garage")) >= 0);
    QVERIFY(w.FileText().contains(QStringLiteral("<Group name=\"Garage\">")));

    // Only a name that does not resolve.
    w.messages.clear();
    pName->setText(QStringLiteral("nowhere"));
    w.dlg->OnAddMachine();
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.messages, QStringList({"Name is not resolved"}));

    // Only a name that resolves: the address control shows it while the machine is added under its official name.
    w.names["box"] = {10, 2, 0, 9};
    pName->setText(QStringLiteral("box"));
    pGroup->setEditText(QStringLiteral("Lab"));
    w.dlg->OnAddMachine();
    QVERIFY(w.dlg->WaitIdle(5000));
    QVERIFY(w.FileText().contains(QStringLiteral("<Name>box.lan</Name>")));
    QVERIFY(w.FileText().contains(QStringLiteral("<IPAddress>10.2.0.9</IPAddress>")));

    // Only an address without a name: asked, and No adds nothing.
    w.messages.clear();
    pName->clear();
    pAddress->SetAddress({10, 2, 0, 50});
    w.dlg->OnAddMachine();
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.messages, QStringList({"IP is not resolved, would you like to add it anyway?"}));
    QVERIFY(!w.FileText().contains(QStringLiteral("10.2.0.50")));

    // Only an address with a reverse name: added under that name and the list rebuilt.
    pAddress->SetAddress({10, 2, 0, 99});
    w.dlg->OnAddMachine();
    QVERIFY(w.dlg->WaitIdle(5000));
    QVERIFY(w.FileText().contains(QStringLiteral("<Name>found.lan</Name>")));
    QVERIFY(w.Column(0).contains(QStringLiteral(" found.lan")));
    QCOMPARE(w.dlg->Machines().GetCount(), std::size_t{8});
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("8/6/5"));

    // The looked-up name went with its address: the next address typed alone is looked up afresh, not stored
    // under the name the last one found.
    QVERIFY(pName->text().isEmpty());
    w.messages.clear();
    pAddress->SetAddress({10, 2, 0, 250});
    w.dlg->OnAddMachine();
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.messages, QStringList({"IP is not resolved, would you like to add it anyway?"}));
    QCOMPARE(w.FileText().count(QStringLiteral("found.lan")), 1);
}

void TestMainDlg::Delete_KeyAndContextMenuBothSave() {
    Window w;
    w.WriteMachines(kTwoGroups);
    w.Start();
    w.SelectRow(0);
    w.dlg->OnListKeyDown(Qt::Key_Delete);
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.messages, QStringList({"Item removed"}));
    QVERIFY(!w.FileText().contains(QStringLiteral("bench")));
    QCOMPARE(w.Column(0), QStringList({" scope", " printer"}));

    w.messages.clear();
    w.SelectRow(0);
    w.dlg->OnDeleteMachine();
    QVERIFY(w.dlg->WaitIdle(5000));
    QVERIFY(w.messages.isEmpty());
    QVERIFY(!w.FileText().contains(QStringLiteral("scope")));
    QCOMPARE(w.Column(0), QStringList({" printer"}));
    QCOMPARE(w.dlg->Machines().GetCount(), std::size_t{2});
}

void TestMainDlg::ContextMenu_GreyingFollowsSelection() {
    Window w;
    w.WriteMachines(kTwoGroups);
    w.Start();
    auto enabled = [&] {
        QMap<int, bool> out;
        for (QAction* a : w.dlg->ContextMenu()->actions())
            if (a->data().toInt() >= 300)
                out[a->data().toInt()] = a->isEnabled();
        return out;
    };
    QCOMPARE(enabled().value(303), false); // "Exclude" starts greyed
    w.dlg->OnListRightClick(QPoint(0, 0));
    w.dlg->ContextMenu()->hide();
    for (bool b : enabled())
        QVERIFY(!b);
    w.SelectRow(1);
    w.dlg->OnListRightClick(QPoint(0, 0));
    w.dlg->ContextMenu()->hide();
    const auto e = enabled();
    QVERIFY(e.value(301) && e.value(302) && e.value(303) && e.value(311) && e.value(312));
    QVERIFY(!e.value(321) && !e.value(322));
}

void TestMainDlg::Sort_NameAscendingThenDescending() {
    Window w;
    w.WriteMachines(kTwoGroups);
    w.Start();
    w.dlg->OnColumnClick(0);
    QCOMPARE(w.Column(0), QStringList({" bench", " printer", " scope"}));
    w.dlg->OnColumnClick(0);
    QCOMPARE(w.Column(0), QStringList({" scope", " printer", " bench"}));
    // Rows keep their cells and machines together.
    QCOMPARE(w.List()->GetItemText(0, 1), QStringLiteral(" 10.2.0.2"));
    QCOMPARE(w.List()->GetItemData<CMachine>(0)->m_strName, std::string("scope"));
}

void TestMainDlg::LoadAndSaveAs_KeepTheCurrentFile() {
    Window w;
    w.Start();
    QFile other(w.Path("other.xml"));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write(kTwoGroups);
    other.close();
    w.dlg->LoadMachineFile(w.Path("other.xml"));
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.dlg->Machines().GetCount(), std::size_t{4});
    QCOMPARE(w.Combo(1001)->currentText(), QStringLiteral("Lab"));
    QCOMPARE(QString::fromStdString(w.dlg->CurrentFile()), w.Path("other.xml"));
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("4/3/0")); // the loaded file's machines and rows
}

void TestMainDlg::EscapeDoesNothingEnterPressesAdd() {
    Window w;
    w.Start();
    w.dlg->show();
    QTest::keyClick(w.dlg.get(), Qt::Key_Escape);
    QVERIFY(w.dlg->isVisible());
    QTest::keyClick(FindControl<QLineEdit>(w.dlg.get(), 1003), Qt::Key_Return);
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.messages, QStringList({"Nothing to add..."}));
}

// The text has no path that a test could provoke here (the sockets always start on this system): pin it so that
// nobody corrects its spelling by accident.
void TestMainDlg::MisspeltSocketsText_StaysAsUsersKnowIt() {
    QCOMPARE(QString::fromLatin1(kSocketsFailedText),
             QStringLiteral("Failed intializing sockets. Are you sure your system works fine?"));
}

void TestMainDlg::MonitorToggle_SwitchesTimerIconAndTooltip() {
    Window w;
    w.Start();
    auto* pButton = FindControl<QPushButton>(w.dlg.get(), 1043);
    w.dlg->OnMonitorToggle();
    QCOMPARE(w.dlg->m_nTimerId, IDT_MONITOR);
    QCOMPARE(pButton->toolTip(), QStringLiteral("Monitoring is on"));
    w.dlg->OnMonitorToggle();
    QCOMPARE(w.dlg->m_nTimerId, 0);
    QCOMPARE(pButton->toolTip(), QStringLiteral("Monitoring is off"));
    QVERIFY(!QFile::exists(w.Path("Lanwick.ini"))); // the switch does not write the settings
}

void TestMainDlg::AddAnyway_AddsThePagesAddressAndNameWithoutARow() {
    Window w;
    w.WriteMachines(kTwoGroups);
    w.Start();
    w.bAddAnyway = true;
    FindControl<CIPAddressCtrl>(w.dlg.get(), 1002)->SetAddress({10, 2, 0, 50});
    w.Combo(1005)->setEditText(QStringLiteral("Lab"));
    const int nRows = w.List()->GetItemCount();
    w.dlg->OnAddMachine();
    QVERIFY(w.dlg->WaitIdle(5000));
    QVERIFY(w.FileText().contains(QStringLiteral("<IPAddress>10.2.0.51</IPAddress>")));
    QVERIFY(w.FileText().contains(QStringLiteral("<Name>typed-on-page</Name>")));
    QCOMPARE(w.List()->GetItemCount(), nRows);
    QCOMPARE(w.dlg->Machines().GetCount(), std::size_t{5});
}

void TestMainDlg::Settings_AppliedInOrderAndWrittenToTheFile() {
    Window w;
    w.Start();
    SettingsValues v;
    v.bShowPingTime = 1;
    v.bHideExcluded = 1;
    v.strDefFile = w.Path("other.xml").toStdString();
    v.nRetries = 0;
    v.nPause = 250;
    v.bMonitor = 1;
    v.nRefresh = 30;
    w.settingsAnswer = v;
    w.dlg->OnSettings();
    QCOMPARE(w.settingsShown->nRetries, 1u);
    QCOMPARE(w.settingsShown->strDefFile, w.Path("machines.xml").toStdString());
    QCOMPARE(w.dlg->Settings().m_nRetries, std::uint8_t{1});
    QCOMPARE(w.dlg->m_nTimerId, IDT_MONITOR);
    QCOMPARE(FindControl<QPushButton>(w.dlg.get(), 1043)->toolTip(), QStringLiteral("Monitoring is on"));
    CSettings reread;
    reread.LoadSettings(w.Path("Lanwick.ini").toStdString(), (w.dir.path() + QLatin1Char('/')).toStdString());
    QCOMPARE(reread.m_bShowPingTime, 1);
    QCOMPARE(reread.m_nPause, 250);
    QCOMPARE(reread.m_nRefresh, 30);
    QCOMPARE(reread.m_bMonitor, 1);
    QCOMPARE(reread.m_strDefFile, v.strDefFile);
    QCOMPARE(reread.m_nRetries, std::uint8_t{1});

    v.bMonitor = 0;
    w.settingsAnswer = v;
    w.dlg->OnSettings();
    QCOMPARE(w.dlg->m_nTimerId, 0);
    QCOMPARE(FindControl<QPushButton>(w.dlg.get(), 1043)->toolTip(), QStringLiteral("Monitoring is off"));

    // Cancel changes nothing.
    w.settingsAnswer.reset();
    w.dlg->OnSettings();
    QCOMPARE(w.dlg->Settings().m_nPause, 250);
}

void TestMainDlg::Properties_CopiedBackSavedAndListRebuilt() {
    Window w;
    w.WriteMachines(kTwoGroups);
    w.pinger.SetDefault(500);
    w.Start();
    w.SelectRow(0);
    MachineValues v{{10, 2, 0, 77}, "00A0C9ABCDEF", "renamed", 1, 0, 1};
    w.machineAnswer = v;
    w.dlg->OnMachineProperties();
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.Column(0).at(0), QStringLiteral(" renamed"));
    QCOMPARE(w.Column(3).at(0), QStringLiteral("Exc"));
    QVERIFY(w.FileText().contains(QStringLiteral("<IPAddress>10.2.0.77</IPAddress>")));
    QVERIFY(w.FileText().contains(QStringLiteral("<MAC Address=\"00A0C9ABCDEF\">")));
    QVERIFY(w.FileText().contains(QStringLiteral("<Group name=\"Lab\">")));

    // Cancel changes nothing.
    const QString before = w.FileText();
    w.machineAnswer.reset();
    w.SelectRow(0);
    w.dlg->OnMachineProperties();
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.FileText(), before);
}

void TestMainDlg::UnreadableFiles_AreNamedOnceTheWindowIsUp() {
    // Far too large to be what they claim (sparse: they take no room on disk).
    Window w;
    QFile machines(w.Path("machines.xml"));
    QVERIFY(machines.open(QIODevice::WriteOnly));
    QVERIFY(machines.resize(qint64{300} << 20));
    machines.close();
    QFile ini(w.Path("Lanwick.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    QVERIFY(ini.resize(qint64{2} << 20));
    ini.close();
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

QTEST_MAIN(TestMainDlg)
#include "tst_MainDlg.moc"
