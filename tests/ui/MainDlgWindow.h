// The main window on the offscreen platform with a scripted ping provider and lookups, on real files in a
// temporary folder: the fixture of the main window's widget tests.
#pragma once

#include "controls/ControlId.h"
#include "controls/XListCtrl.h"
#include "fakes/FakePingProvider.h"
#include "ui/MainDlg.h"

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#include <map>
#include <memory>

namespace lanwick::test {

inline const char* kTwoGroups =
    "<?xml version=\"1.0\"?>\r\n <Machines>\r\n  <Count mach=\"4\">\r\n  </Count>\r\n"
    "  <Group name=\"Office\">\r\n"
    "   <MAC Address=\"00A0C9123456\">\r\n    <IPAddress>10.1.0.1</IPAddress>\r\n"
    "    <Name>desk</Name>\r\n    <Notify>No</Notify>\r\n    <NotifyOffline>Yes</NotifyOffline>\r\n"
    "    <Excluded>No</Excluded>\r\n   </MAC>\r\n  </Group>\r\n"
    "  <Group name=\"Lab\">\r\n"
    "   <MAC Address=\"000000000000\">\r\n    <IPAddress>10.2.0.1</IPAddress>\r\n"
    "    <Name>bench</Name>\r\n    <Notify>Yes</Notify>\r\n    <NotifyOffline>No</NotifyOffline>\r\n"
    "    <Excluded>No</Excluded>\r\n   </MAC>\r\n"
    "   <MAC Address=\"08002012AB01\">\r\n    <IPAddress>10.2.0.2</IPAddress>\r\n"
    "    <Name>scope</Name>\r\n    <Notify>No</Notify>\r\n    <NotifyOffline>Yes</NotifyOffline>\r\n"
    "    <Excluded>No</Excluded>\r\n   </MAC>\r\n"
    "   <MAC Address=\"08002012AB02\">\r\n    <IPAddress>10.2.0.3</IPAddress>\r\n"
    "    <Name>printer</Name>\r\n    <Notify>No</Notify>\r\n    <NotifyOffline>No</NotifyOffline>\r\n"
    "    <Excluded>Yes</Excluded>\r\n   </MAC>\r\n  </Group>\r\n </Machines>\r\n";

struct Window {
    QTemporaryDir dir;
    CFakePingProvider pinger;
    QStringList messages;
    QStringList notifications;
    std::map<std::string, platform::Ipv4> names; // forward lookups that succeed
    std::unique_ptr<CMainDlg> dlg;
    bool bAddAnyway = false;
    std::optional<SettingsValues> settingsAnswer;
    std::optional<SettingsValues> settingsShown;
    std::optional<MachineValues> machineAnswer;
    std::function<bool(CMachineList&)> massAdd;     // stands in for the range scan dialog; null: Cancel
    QStringList reloadQuestions;                    // asked when the machine file changed on disk behind the window
    std::optional<bool> reloadAnswer;               // true: reload, false: overwrite, nothing: cancel
    std::optional<history::HistoryOptions> history; // null: the window keeps no history

    QString Path(const char* file) const { return dir.filePath(QString::fromLatin1(file)); }

    void WriteMachines(const char* text) {
        QFile f(Path("machines.xml"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    // With AfterFirstPaint the start's pings wait for the window to be shown, so Start does not wait for them.
    void Start(CMainDlg::StartWork eWork = CMainDlg::StartWork::Now) {
        SettingsLocation location{Path("Lanwick.ini").toStdString(), (dir.path() + QLatin1Char('/')).toStdString()};
        MainDlgServices services;
        services.pPinger = &pinger;
        services.canProbe = [] { return true; };
        services.forwardLookup = [this](const std::string& name) -> std::optional<platform::HostEntry> {
            auto it = names.find(name);
            if (it == names.end())
                return std::nullopt;
            return platform::HostEntry{it->second, name + ".lan"};
        };
        services.reverseLookup = [](const platform::Ipv4& ip) -> std::optional<std::string> {
            if (ip[3] == 99)
                return std::string("found.lan");
            return std::nullopt;
        };
        services.getMacAddress = [](const std::string&) { return std::string("00A0C9000001"); };
        services.notify = [this](const QString& text) { notifications << text; };
        services.message = [this](QWidget*, const QString& text) { messages << text; };
        services.askYesNo = [this](QWidget*, const QString& text) -> std::optional<bool> {
            messages << text;
            return bAddAnyway;
        };
        services.generalPageAlone =
            [](QWidget*, const platform::Ipv4& ip) -> std::optional<std::pair<platform::Ipv4, std::string>> {
            platform::Ipv4 page = ip;
            page[3] = 51; // the operator changed the address on the page
            return std::pair{page, std::string("typed-on-page")};
        };
        services.settingsSheet = [this](QWidget*, const SettingsValues& shown) {
            settingsShown = shown;
            return settingsAnswer;
        };
        services.machineSheet = [this](QWidget*, const CMachine&) { return machineAnswer; };
        services.askReload = [this](QWidget*, const QString& text) {
            reloadQuestions << text;
            return reloadAnswer;
        };
        services.massAdd = [this](QWidget*, CMachineList& list) { return massAdd && massAdd(list); };
        services.history = history;
        dlg = std::make_unique<CMainDlg>(location, services);
        QVERIFY(dlg->OnInitDialog(eWork));
        if (eWork == CMainDlg::StartWork::Now)
            QVERIFY(dlg->WaitIdle(5000));
    }

    CXListCtrl* List() const { return dlg->ListCtrl(); }
    QComboBox* Combo(int id) const { return FindControl<QComboBox>(dlg.get(), id); }
    QStringList Column(int col) const {
        QStringList out;
        for (int i = 0; i < List()->GetItemCount(); ++i)
            out << List()->GetItemText(i, col);
        return out;
    }
    QString FileText() const {
        QFile f(Path("machines.xml"));
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
    }
    void SelectRow(int row) { List()->SetItemSelected(row, true); }
};

} // namespace lanwick::test
