// The main window on the namespace LAN with its real ping engine: the list fill and a pass give the same texts
// as with the scripted provider, and a watched host switched off is announced with the exact text.
#include "controls/XListCtrl.h"
#include "fakes/FakePingProvider.h"
#include "lan/Lan.h"
#include "ui/MainDlg.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace lanwick;
using lanwick::test::CFakePingProvider;
using lanwick::test::CLan;

namespace {

// Four live hosts (the second watched for going offline) and one silent address, all in group "Lab".
QByteArray MachineFile() {
    const auto& hosts = CLan::Get().Hosts();
    QByteArray text = "<?xml version=\"1.0\"?>\r\n <Machines>\r\n  <Count mach=\"5\">\r\n  </Count>\r\n"
                      "  <Group name=\"Lab\">\r\n";
    auto machine = [&](const std::string& address, const std::string& name, bool bNotifyOffline) {
        text += "   <MAC Address=\"000000000000\">\r\n    <IPAddress>" + QByteArray::fromStdString(address) +
                "</IPAddress>\r\n    <Name>" + QByteArray::fromStdString(name) +
                "</Name>\r\n    <Notify>No</Notify>\r\n    <NotifyOffline>" + (bNotifyOffline ? "Yes" : "No") +
                "</NotifyOffline>\r\n    <Excluded>No</Excluded>\r\n   </MAC>\r\n";
    };
    for (std::size_t i = 0; i < 4; ++i)
        machine(hosts[i].address, "host" + std::to_string(i), i == 1);
    machine(CLan::Get().SilentAddress(), "silent", false);
    text += "  </Group>\r\n </Machines>\r\n";
    return text;
}

struct Window {
    QTemporaryDir dir;
    QStringList notifications;
    std::unique_ptr<CMainDlg> dlg;

    void Start(IPingProvider* pPinger) {
        QFile f(dir.filePath(QStringLiteral("machines.xml")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(MachineFile());
        f.close();
        SettingsLocation location{dir.filePath(QStringLiteral("Lanwick.ini")).toStdString(),
                                  (dir.path() + QLatin1Char('/')).toStdString()};
        MainDlgServices services;
        services.pPinger = pPinger;
        services.notify = [this](const QString& text) { notifications << text; };
        services.message = [](QWidget*, const QString&) {};
        dlg = std::make_unique<CMainDlg>(location, services);
        QVERIFY(dlg->OnInitDialog());
        QVERIFY(dlg->WaitIdle(10000));
    }
    QStringList Rows() const {
        QStringList out;
        for (int i = 0; i < dlg->ListCtrl()->GetItemCount(); ++i) {
            QStringList cells;
            for (int c = 0; c < 4; ++c)
                cells << dlg->ListCtrl()->GetItemText(i, c);
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }
};

} // namespace

class LanMainDlg : public QObject {
    Q_OBJECT
private slots:
    void RealEngine_GivesTheFakesTextsAndAnnouncesAHostGoingOffline();
};

void LanMainDlg::RealEngine_GivesTheFakesTextsAndAnnouncesAHostGoingOffline() {
    if (!CLan::Get().IsUp())
        QSKIP("not inside the namespace LAN");
    const auto& hosts = CLan::Get().Hosts();

    CFakePingProvider fake;
    for (std::size_t i = 0; i < 4; ++i)
        fake.SetUp(hosts[i].address, true);
    Window scripted;
    scripted.Start(&fake);

    Window real;
    real.Start(nullptr);
    QCOMPARE(real.Rows(), scripted.Rows());
    QVERIFY(real.Rows().at(4).endsWith(QStringLiteral("|No")));
    QVERIFY(real.Rows().at(0).endsWith(QStringLiteral("|Yes")));
    QCOMPARE(real.dlg->CountsText(), QStringLiteral("5/5/4"));

    QVERIFY(test::SetHostUp(hosts[1], false));
    real.dlg->OnTimer();
    QVERIFY(real.dlg->WaitIdle(10000));
    QVERIFY(test::SetHostUp(hosts[1], true));
    fake.SetUp(hosts[1].address, false);
    scripted.dlg->OnTimer();
    QVERIFY(scripted.dlg->WaitIdle(10000));

    QCOMPARE(real.notifications, QStringList({"       offline\nhost1\n"}));
    QCOMPARE(real.notifications, scripted.notifications);
    QCOMPARE(real.Rows(), scripted.Rows());
}

QTEST_MAIN(LanMainDlg)
#include "lan_MainDlg.moc"
