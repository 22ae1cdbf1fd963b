// The main window driven below its widgets, with a scripted ping provider and lookups, on real files: start-up,
// passes and fills, the commands and what they save.
#include "controls/IpAddressCtrl.h"
#include "ui/MainDlgWindow.h"

#include <QLineEdit>
#include <QPushButton>

#include <future>

using namespace lanwick;
using namespace lanwick::test;

class TestMainDlg : public QObject {
    Q_OBJECT
private slots:
    void FirstStart_EmptyAndOff_SwitchAndKeysWriteNothing_SettingsAreSaved();
    void StartUp_FirstFrameThenThePings_PassesNameTheChanges();
    void Cycle_ATickInAPassIsSkippedAndOnlyTheNewestFillWaitsForIt();
    void Add_PathsAndTheirMessages();
    void Rows_SortDeleteAndLoad();
};

void TestMainDlg::FirstStart_EmptyAndOff_SwitchAndKeysWriteNothing_SettingsAreSaved() {
    // No path here can provoke this text (the sockets always start on this system): pinned so that nobody corrects
    // its deliberate misspelling by accident.
    QCOMPARE(QString::fromLatin1(kSocketsFailedText),
             QStringLiteral("Failed intializing sockets. Are you sure your system works fine?"));
    Window w;
    w.Start();
    QCOMPARE(w.dlg->windowTitle(), QStringLiteral("Lanwick v0.5"));
    QCOMPARE(w.List()->GetItemCount(), 0);
    QCOMPARE(w.Combo(1001)->count(), 1);
    QCOMPARE(w.Combo(1001)->itemText(0), QStringLiteral("*All machines"));
    QCOMPARE(w.Combo(1001)->currentIndex(), -1);
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("0/0/0"));
    auto* pSwitch = FindControl<QPushButton>(w.dlg.get(), 1043);
    QCOMPARE(w.dlg->m_nTimerId, 0);
    QCOMPARE(pSwitch->toolTip(), QStringLiteral("Monitoring is off"));
    w.dlg->OnMonitorToggle();
    QCOMPARE(w.dlg->m_nTimerId, IDT_MONITOR);
    QCOMPARE(pSwitch->toolTip(), QStringLiteral("Monitoring is on"));
    w.dlg->OnMonitorToggle();
    QCOMPARE(w.dlg->m_nTimerId, 0);
    QCOMPARE(pSwitch->toolTip(), QStringLiteral("Monitoring is off"));
    // Escape does not close the window; Enter presses Add.
    w.dlg->show();
    QTest::keyClick(w.dlg.get(), Qt::Key_Escape);
    QVERIFY(w.dlg->isVisible());
    QTest::keyClick(FindControl<QLineEdit>(w.dlg.get(), 1003), Qt::Key_Return);
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.messages, QStringList({"Nothing to add..."}));
    QVERIFY(!QFile::exists(w.Path("Lanwick.ini")));

    // Settings: ping times, hide excluded, default file, Retries 0, pause, monitoring on, refresh.
    SettingsValues v{1, 1, w.Path("other.xml").toStdString(), 0, 250, 1, 30};
    w.settingsAnswer = v;
    w.dlg->OnSettings();
    QCOMPARE(w.settingsShown->nRetries, 1u);
    QCOMPARE(w.settingsShown->strDefFile, w.Path("machines.xml").toStdString());
    QCOMPARE(w.dlg->m_nTimerId, IDT_MONITOR);
    QCOMPARE(pSwitch->toolTip(), QStringLiteral("Monitoring is on"));
    CSettings reread;
    reread.LoadSettings(w.Path("Lanwick.ini").toStdString(), (w.dir.path() + '/').toStdString());
    // Retries 0 is kept as one attempt.
    QCOMPARE(
        std::tuple(reread.m_bShowPingTime, reread.m_nPause, reread.m_nRefresh, reread.m_bMonitor, +reread.m_nRetries),
        std::tuple(1, 250, 30, 1, 1));
    QCOMPARE(reread.m_strDefFile, v.strDefFile);
    v.bMonitor = 0;
    w.settingsAnswer = v;
    w.dlg->OnSettings();
    QCOMPARE(w.dlg->m_nTimerId, 0);
    QCOMPARE(pSwitch->toolTip(), QStringLiteral("Monitoring is off"));
    // Cancel changes nothing.
    w.settingsAnswer.reset();
    w.dlg->OnSettings();
    QCOMPARE(w.dlg->Settings().m_nPause, 250);
}

void TestMainDlg::StartUp_FirstFrameThenThePings_PassesNameTheChanges() {
    Window w;
    w.WriteMachines(TwoGroups);
    w.pinger.SetResult("10.2.0.2", 700);
    w.Start(CMainDlg::StartWork::AfterFirstPaint);
    // The first frame has the groups and the counts; the pings, the rows and the popup come after it.
    QCOMPARE(w.Combo(1001)->count(), 3);
    QCOMPARE(w.Combo(1001)->currentText(), QStringLiteral("Lab"));
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("4/0/0"));
    QVERIFY(w.pinger.PingedHosts().empty());
    QVERIFY(w.dlg->Notifier() == nullptr);
    QVERIFY(w.dlg->IsBusy());
    w.dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.dlg.get()));
    QVERIFY(w.dlg->WaitIdle(5000));
    QVERIFY(w.dlg->Notifier() != nullptr);
    QCOMPARE(w.Column(0), QStringList({" bench", " scope", " printer"}));
    QCOMPARE(w.Column(2).at(1), QStringLiteral(" 08:00:20:12:AB:01"));
    QCOMPARE(w.Column(3), QStringList({"No", "Yes", "Exc"}));
    QCOMPARE(w.List()->GetItemTextColor(0, 3), RGB(255, 0, 0));
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("4/3/1"));
    // The excluded machine is never pinged, the hidden group neither.
    QCOMPARE(w.pinger.PingedHosts(), (std::vector<std::string>{"10.2.0.1", "10.2.0.2"}));

    // bench is watched coming online, scope going offline.
    w.pinger.SetResult("10.2.0.1", 800);
    w.pinger.SetResult("10.2.0.2", -1);
    w.Pass();
    QCOMPARE(w.notifications, QStringList({"        online\nbench\n       offline\nscope\n"}));
    QCOMPARE(w.Column(3), QStringList({"Yes", "No", "Exc"}));
    w.Pass(); // no change
    QCOMPARE(w.notifications.size(), 1);
}

void TestMainDlg::Cycle_ATickInAPassIsSkippedAndOnlyTheNewestFillWaitsForIt() {
    Window w;
    w.WriteMachines(TwoGroups);
    w.pinger.SetDefault(500);
    w.Start();
    QComboBox* pFilter = w.Combo(1001);
    pFilter->setCurrentIndex(0);
    QCOMPARE(pFilter->currentText(), QStringLiteral("*All machines"));
    w.dlg->OnSelchangeGroup();
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.Column(0), QStringList({" desk", " bench", " scope", " printer"}));
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("4/4/3"));

    const std::size_t nBefore = w.pinger.Calls().size();
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    w.pinger.SetDuringPing([released] { released.wait_for(std::chrono::seconds(5)); });
    w.dlg->OnTimer();
    w.dlg->OnTimer();
    pFilter->setCurrentIndex(1);
    w.dlg->OnSelchangeGroup();
    pFilter->setCurrentIndex(2);
    w.dlg->OnSelchangeGroup();
    release.set_value();
    QVERIFY(w.dlg->WaitIdle(5000));
    // The pass, then the one fill that saw the last group chosen.
    QCOMPARE(w.pinger.Calls().size(), nBefore + 2);
    QCOMPARE(w.Column(0), QStringList({" desk"}));
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("4/1/1"));
}

void TestMainDlg::Add_PathsAndTheirMessages() {
    Window w;
    w.WriteMachines(TwoGroups);
    w.pinger.SetDefault(500);
    w.Start();
    auto* pAddress = FindControl<CIPAddressCtrl>(w.dlg.get(), 1002);
    auto* pName = FindControl<QLineEdit>(w.dlg.get(), 1003);
    QComboBox* pGroup = w.Combo(1005);
    // Types what is given into the boxes (Add leaves them empty), presses Add and waits for the lookups.
    const auto add = [&](std::optional<platform::Ipv4> ip, const char* name, const char* group) {
        if (ip)
            pAddress->SetAddress(*ip);
        pName->setText(QString::fromLatin1(name));
        pGroup->setEditText(QString::fromLatin1(group));
        w.messages.clear();
        w.dlg->OnAddMachine();
        QVERIFY(w.dlg->WaitIdle(5000));
    };

    // Address and name in the shown group: a row at the end, saved, the counts take it in.
    add(platform::Ipv4{10, 2, 0, 7}, "newbox", "lab");
    QCOMPARE(w.List()->GetItemCount(), 4);
    QCOMPARE(w.List()->GetItemText(3, 0), QStringLiteral(" newbox"));
    QCOMPARE(w.List()->GetItemText(3, 2), QStringLiteral(" 00A0C9000001"));
    QCOMPARE(w.List()->GetItemText(3, 3), QStringLiteral("Yes"));
    QVERIFY(w.List()->GetItemData(3) == nullptr);
    QVERIFY(w.FileText().contains(QStringLiteral("<Name>newbox</Name>")));
    QVERIFY(pAddress->IsBlank() && pName->text().isEmpty());
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("5/4/3"));

    // A new group: offered in both combos, no row, still saved.
    add(platform::Ipv4{10, 3, 0, 1}, "other", "Garage");
    QCOMPARE(w.List()->GetItemCount(), 4);
    QVERIFY(w.Combo(1001)->findText(QStringLiteral("Garage")) >= 0);
    QVERIFY(pGroup->findText(QStringLiteral("Garage")) >= 0);
    QVERIFY(w.FileText().contains(QStringLiteral("<Group name=\"Garage\">")));

    add(std::nullopt, "nowhere", "Lab");
    QCOMPARE(w.messages, QStringList({"Name is not resolved"}));

    // A name alone that resolves: added at its address under its official name.
    w.names["box"] = {10, 2, 0, 9};
    add(std::nullopt, "box", "Lab");
    QVERIFY(w.FileText().contains(QStringLiteral("<IPAddress>10.2.0.9</IPAddress>\r\n    <Name>box.lan</Name>")));

    // An address alone without a reverse name: asked; No adds nothing, Yes adds what the General page says.
    add(platform::Ipv4{10, 2, 0, 50}, "", "Lab");
    QCOMPARE(w.messages, QStringList({"IP is not resolved, would you like to add it anyway?"}));
    QVERIFY(!w.FileText().contains(QStringLiteral("10.2.0.50")));
    w.bAddAnyway = true;
    add(platform::Ipv4{10, 2, 0, 50}, "", "Lab");
    QVERIFY(
        w.FileText().contains(QStringLiteral("<IPAddress>10.2.0.51</IPAddress>\r\n    <Name>typed-on-page</Name>")));
    QCOMPARE(w.List()->GetItemCount(), 5);
    w.bAddAnyway = false;

    // An address alone with a reverse name: added under that name and the list rebuilt.
    add(platform::Ipv4{10, 2, 0, 99}, "", "Lab");
    QVERIFY(w.messages.isEmpty());
    QVERIFY(w.FileText().contains(QStringLiteral("<Name>found.lan</Name>")));
    QVERIFY(w.Column(0).contains(QStringLiteral(" found.lan")));
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("9/7/6"));
    // The looked-up name went with its address: the next address alone is looked up afresh, not stored under it.
    add(platform::Ipv4{10, 2, 0, 250}, "", "Lab");
    QCOMPARE(w.messages, QStringList({"IP is not resolved, would you like to add it anyway?"}));
    QCOMPARE(w.FileText().count(QStringLiteral("found.lan")), 1);
}

void TestMainDlg::Rows_SortDeleteAndLoad() {
    Window w;
    w.WriteMachines(TwoGroups);
    w.Start();
    w.dlg->OnColumnClick(0);
    QCOMPARE(w.Column(0), QStringList({" bench", " printer", " scope"}));
    w.dlg->OnColumnClick(0);
    QCOMPARE(w.Column(0), QStringList({" scope", " printer", " bench"}));
    // Rows keep their cells and machines together.
    QCOMPARE(w.List()->GetItemText(0, 1), QStringLiteral(" 10.2.0.2"));
    QCOMPARE(w.List()->GetItemData<CMachine>(0)->m_strName, std::string("scope"));

    // The Delete key and the context menu's Delete both save; only the key says so.
    w.SelectRow(0);
    w.dlg->OnListKeyDown(Qt::Key_Delete);
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.messages, QStringList({"Item removed"}));
    QVERIFY(!w.FileText().contains(QStringLiteral("scope")));
    QCOMPARE(w.Column(0), QStringList({" printer", " bench"}));
    w.SelectRow(0);
    w.dlg->OnDeleteMachine();
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.messages.size(), 1);
    QVERIFY(!w.FileText().contains(QStringLiteral("printer")));
    QCOMPARE(w.Column(0), QStringList({" bench"}));
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("2/1/0"));

    // Another file in place of the list: it becomes the current file.
    w.WriteMachines(TwoGroups, "other.xml");
    w.dlg->LoadMachineFile(w.Path("other.xml"));
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.Combo(1001)->currentText(), QStringLiteral("Lab"));
    QCOMPARE(QString::fromStdString(w.dlg->CurrentFile()), w.Path("other.xml"));
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("4/3/0"));
}

QTEST_MAIN(TestMainDlg)
#include "tst_MainDlg.moc"
