// The main window on the namespace LAN with its real ping engine: the list fill and a pass give the same texts
// as with the scripted provider, and a watched host switched off is announced with the exact text.
#include "lan/Lan.h"
#include "ui/MainDlgWindow.h"

using namespace lanwick;
using namespace lanwick::test;

namespace {

// Four live hosts (the second watched going offline) and one silent address, all in group "Lab".
void LanMachines(CMachineList& list) {
    const auto& hosts = CLan::Get().Hosts();
    for (std::size_t i = 0; i < 4; ++i)
        list.AddMachine(*platform::ParseIpv4(hosts[i].address), "000000000000", "Lab", "host" + std::to_string(i), 0, 0,
                        i == 1 ? 1 : 0);
    list.AddMachine(*platform::ParseIpv4(CLan::Get().SilentAddress()), "000000000000", "Lab", "silent", 0);
}

QStringList Rows(const Window& w) {
    QStringList rows;
    for (int i = 0; i < w.List()->GetItemCount(); ++i)
        rows << QStringList({w.Column(0)[i], w.Column(1)[i], w.Column(2)[i], w.Column(3)[i]}).join(QLatin1Char('|'));
    return rows;
}

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
    Window scripted;
    for (std::size_t i = 0; i < 4; ++i)
        scripted.pinger.SetUp(hosts[i].address, true);
    scripted.WriteMachines(LanMachines);
    scripted.Start();
    Window real;
    real.services.pPinger = nullptr; // the window's own engine
    real.WriteMachines(LanMachines);
    real.Start();
    QCOMPARE(Rows(real), Rows(scripted));
    QVERIFY(Rows(real).at(4).endsWith(QStringLiteral("|No")));
    QVERIFY(Rows(real).at(0).endsWith(QStringLiteral("|Yes")));
    QCOMPARE(real.dlg->CountsText(), QStringLiteral("5/5/4"));

    QVERIFY(test::SetHostUp(hosts[1], false));
    real.Pass();
    QVERIFY(test::SetHostUp(hosts[1], true));
    scripted.pinger.SetUp(hosts[1].address, false);
    scripted.Pass();
    QCOMPARE(real.notifications, QStringList({"       offline\nhost1\n"}));
    QCOMPARE(real.notifications, scripted.notifications);
    QCOMPARE(Rows(real), Rows(scripted));
}

QTEST_MAIN(LanMainDlg)
#include "lan_MainDlg.moc"
