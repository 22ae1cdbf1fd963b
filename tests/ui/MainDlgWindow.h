// The main window on the offscreen platform with a scripted ping provider, lookups and answers, on real files in a
// temporary folder: the fixture of the main window's tests. A test may set any service back to null (the window's
// own: real boxes, the real popup, the real engine) before Start.
#pragma once

#include "controls/ControlId.h"
#include "controls/XListCtrl.h"
#include "fakes/FakePingProvider.h"
#include "ui/MainDlg.h"

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <memory>

namespace lanwick::test {

// Office: desk. Lab: bench (its MAC never answered; watched coming online), scope (watched going offline) and the
// excluded printer.
inline void TwoGroups(CMachineList& list) {
    list.AddMachine({10, 1, 0, 1}, "00A0C9123456", "Office", "desk", 0, 0, 1);
    list.AddMachine({10, 2, 0, 1}, "000000000000", "Lab", "bench", 0, 1, 0);
    list.AddMachine({10, 2, 0, 2}, "08002012AB01", "Lab", "scope", 0, 0, 1);
    list.AddMachine({10, 2, 0, 3}, "08002012AB02", "Lab", "printer", 1, 0, 0);
}

struct Window {
    QTemporaryDir dir;
    CFakePingProvider pinger;
    QStringList messages;                        // boxes and yes/no questions, in order
    QStringList notifications;                   // what the popup would have shown
    QStringList reloadQuestions;                 // asked when the machine file changed on disk behind the window
    std::optional<bool> reloadAnswer;            // true: reload, false: overwrite, nothing: cancel
    bool bAddAnyway = false;                     // the answer to "add it anyway?"
    std::map<std::string, platform::Ipv4> names; // forward lookups that succeed; a reverse one for x.x.x.99 only
    std::optional<SettingsValues> settingsAnswer;
    std::optional<SettingsValues> settingsShown;
    std::optional<MachineValues> machineAnswer;
    std::function<bool(CMachineList&)> massAdd; // stands in for the range scan dialog; null: Cancel
    MainDlgServices services = Scripted();
    std::unique_ptr<CMainDlg> dlg;

    MainDlgServices Scripted() {
        MainDlgServices s;
        s.pPinger = &pinger;
        s.canProbe = [] { return true; };
        s.forwardLookup = [this](const std::string& name) -> std::optional<platform::HostEntry> {
            const auto it = names.find(name);
            return it == names.end() ? std::nullopt : std::optional(platform::HostEntry{it->second, name + ".lan"});
        };
        s.reverseLookup = [](const platform::Ipv4& ip) {
            return ip[3] == 99 ? std::optional<std::string>("found.lan") : std::nullopt;
        };
        s.getMacAddress = [](const std::string&) { return std::string("00A0C9000001"); };
        s.notify = [this](const QString& text) { notifications << text; };
        s.message = [this](QWidget*, const QString& text) { messages << text; };
        s.askYesNo = [this](QWidget*, const QString& text) -> std::optional<bool> {
            messages << text;
            return bAddAnyway;
        };
        s.askReload = [this](QWidget*, const QString& text) {
            reloadQuestions << text;
            return reloadAnswer;
        };
        // The operator changes the address's last number to 51 and types a name on the page.
        s.generalPageAlone = [](QWidget*, platform::Ipv4 ip) {
            ip[3] = 51;
            return std::optional(std::pair{ip, std::string("typed-on-page")});
        };
        s.settingsSheet = [this](QWidget*, const SettingsValues& shown) {
            settingsShown = shown;
            return settingsAnswer;
        };
        s.machineSheet = [this](QWidget*, const CMachine&) { return machineAnswer; };
        s.massAdd = [this](QWidget*, CMachineList& list) { return massAdd && massAdd(list); };
        return s;
    }

    QString Path(const char* file) const { return dir.filePath(QString::fromLatin1(file)); }
    void WriteMachines(const std::function<void(CMachineList&)>& fill, const char* file = "machines.xml") {
        CMachineList list;
        fill(list);
        QVERIFY(list.SaveFile(Path(file).toStdString()));
    }
    QString FileText(const char* file = "machines.xml") const {
        QFile f(Path(file));
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
    }

    // With AfterFirstPaint the start's pings wait for the window to be shown, so Start does not wait for them.
    void Start(CMainDlg::StartWork eWork = CMainDlg::StartWork::Now) {
        const SettingsLocation location{Path("Lanwick.ini").toStdString(), (dir.path() + '/').toStdString()};
        dlg = std::make_unique<CMainDlg>(location, services);
        QVERIFY(dlg->OnInitDialog(eWork));
        if (eWork == CMainDlg::StartWork::Now)
            QVERIFY(dlg->WaitIdle(10000));
    }
    // One pass on the timer, waited for.
    void Pass() {
        dlg->OnTimer();
        QVERIFY(dlg->WaitIdle(10000));
    }

    CXListCtrl* List() const { return dlg->ListCtrl(); }
    QComboBox* Combo(int id) const { return FindControl<QComboBox>(dlg.get(), id); }
    QStringList Column(int col) const {
        QStringList out;
        for (int i = 0; i < List()->GetItemCount(); ++i)
            out << List()->GetItemText(i, col);
        return out;
    }
    void SelectRow(int row) { List()->SetItemSelected(row, true); }
};

} // namespace lanwick::test
