// The ping engine against a scripted network: the same value per host as the monitoring probe, hosts side by
// side, each host's attempts in turn, and replies matched by identifier, sequence and source.
#include "probes/PingEngine.h"

#include "fakes/FakeIcmp.h"
#include "platform/Clock.h"
#include "probes/Pinger.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <set>

using namespace lanwick;
using lanwick::test::CFakeIcmpNetwork;
using lanwick::test::CFakeProbeClock;
using lanwick::test::EchoOf;
using lanwick::test::FakeDatagram;
using lanwick::test::FakeSent;

namespace {

std::string Address(int last) {
    return "198.18.0." + std::to_string(last);
}

// Host 198.18.0.x answers its k-th request (from 0) after delays[x][k] microseconds, or not when that is < 0;
// a host missing from the table is silent.
class CScriptedLan {
public:
    std::map<int, std::vector<std::int64_t>> delays;
    std::optional<double> forgedStamp; // what every host writes over the request's send stamp

    std::function<std::vector<FakeDatagram>(const FakeSent&)> Responder() {
        return [this](const FakeSent& s) {
            std::vector<FakeDatagram> out;
            const int host = s.to[3];
            const std::size_t k = m_count[host]++;
            const auto it = delays.find(host);
            if (it != delays.end() && k < it->second.size() && it->second[k] >= 0) {
                std::vector<std::uint8_t> request = s.bytes;
                if (forgedStamp)
                    std::memcpy(&request[16], &*forgedStamp, 8);
                out.push_back({it->second[k], EchoOf(request), s.to});
            }
            return out;
        };
    }
    void Reset() { m_count.clear(); }

private:
    std::map<int, std::size_t> m_count;
};

class PingEngineTest : public ::testing::Test {
protected:
    CFakeProbeClock clock;
    CFakeIcmpNetwork net{clock};
    CPingEngine engine{net, clock};
    CScriptedLan lan;

    // What the monitoring probe gives for each host, one after another, on the same script.
    std::vector<std::int32_t> Sequential(const std::vector<std::string>& hosts, unsigned attempts, unsigned pause) {
        CFakeProbeClock c;
        CFakeIcmpNetwork n(c);
        n.bStamps = net.bStamps;
        lan.Reset();
        n.responder = lan.Responder();
        CPinger pinger(n, c);
        std::vector<std::int32_t> out;
        for (const std::string& h : hosts)
            out.push_back(pinger.Ping(attempts, h, pause));
        lan.Reset();
        return out;
    }
};

} // namespace

// Whatever a host writes over the request's send stamp, with the system's arrival stamps or without: the time is
// ours, as the pinger's is.
TEST_F(PingEngineTest, GivesEachHostWhatThePingerGivesWhateverTheHostWritesAsStamp) {
    lan.delays[10] = {500, 500, 500};
    lan.delays[11] = {500, -1, 800};
    lan.delays[12] = {-1, -1, 1};
    lan.delays[13] = {-1, 2500, -1};
    lan.delays[14] = {999999, 999999, 999999};
    const std::vector<std::string> hosts{Address(10), Address(11), Address(12), Address(13), Address(14), Address(15)};
    for (bool bStamps : {true, false}) {
        for (std::optional<double> forged : {std::optional<double>(), std::optional<double>(-1e12),
                                             std::optional<double>(1e300), std::optional<double>(std::nan(""))}) {
            net.bStamps = bStamps;
            lan.forgedStamp = forged;
            for (unsigned attempts : {0u, 1u, 2u, 3u}) {
                const auto expected = Sequential(hosts, attempts, 200);
                net.responder = lan.Responder();
                EXPECT_EQ(engine.PingAll(hosts, attempts, 200), expected)
                    << attempts << " attempts, " << (bStamps ? "stamped" : "unstamped") << ", stamp "
                    << forged.value_or(0);
                lan.Reset();
            }
        }
    }
}

TEST_F(PingEngineTest, SilentHostsWaitTheirSecondsSideBySide) {
    std::vector<std::string> hosts;
    for (int i = 10; i < 210; ++i)
        hosts.push_back(Address(i));
    lan.delays[10] = {300};
    net.responder = lan.Responder();
    const std::int64_t start = clock.Now();
    const auto results = engine.PingAll(hosts, 1, 500);
    EXPECT_EQ(results[0], 300);
    EXPECT_EQ(std::count(results.begin(), results.end(), -1), 199);
    EXPECT_LT(clock.Now() - start, 1100000) << "200 hosts, one time-out";
    EXPECT_GE(net.nReserved, 200u) << "the send buffer is sized for the pass";
}

TEST_F(PingEngineTest, AHostsAttemptsFollowEachOtherWithThePauseAfterAnsweredOnes) {
    lan.delays[10] = {1000, -1, 1000};
    net.responder = lan.Responder();
    EXPECT_EQ(engine.PingAll({Address(10)}, 3, 200), std::vector<std::int32_t>{666}); // (1000 - 1 + 1000) / 3
    ASSERT_EQ(net.sent.size(), 3u);
    EXPECT_GE(net.sent[1].at - net.sent[0].at, 1000 + 200000) << "reply, then the pause";
    EXPECT_LT(net.sent[1].at - net.sent[0].at, 1000 + 200000 + 60000);
    EXPECT_GE(net.sent[2].at - net.sent[1].at, 1000000) << "a time-out, then at once";
    EXPECT_LT(net.sent[2].at - net.sent[1].at, 1000000 + 60000);
    for (std::size_t i = 1; i < 3; ++i)
        EXPECT_EQ(ReadLe16(&net.sent[i].bytes[6]), static_cast<std::uint16_t>(ReadLe16(&net.sent[i - 1].bytes[6]) + 1));
}

TEST_F(PingEngineTest, ARepliesSourceMustBeTheHostItsSequenceWentTo) {
    // Host .11 is silent, but .10 answers every request it gets twice: once as itself and once as if from .11
    // with .11's sequence (a forged or misrouted reply); and a reply with another program's identifier.
    net.responder = [](const FakeSent& s) {
        std::vector<FakeDatagram> out;
        if (s.to[3] == 10) {
            std::vector<std::uint8_t> theirs = EchoOf(s.bytes);
            WriteLe16(&theirs[4], static_cast<std::uint16_t>(ReadLe16(&theirs[4]) + 7));
            out.push_back({100, theirs, s.to});
            out.push_back({400, EchoOf(s.bytes), s.to});
        } else {
            out.push_back({200, EchoOf(s.bytes), {198, 18, 0, 10}});
        }
        return out;
    };
    EXPECT_EQ(engine.PingAll({Address(10), Address(11)}, 1, 0), (std::vector<std::int32_t>{400, -1}));
}

TEST_F(PingEngineTest, EachPassHasAnIdentifierThatTheLastOneDoesNotGiveAway) {
    lan.delays[10] = {300, 300, 300, 300, 300, 300, 300, 300};
    net.responder = lan.Responder();
    for (int pass = 0; pass < 8; ++pass)
        EXPECT_EQ(engine.PingAll({Address(10)}, 1, 0), std::vector<std::int32_t>{300});
    ASSERT_EQ(net.sent.size(), 8u);
    std::set<std::uint16_t> identifiers;
    int consecutive = 0;
    for (std::size_t i = 0; i < net.sent.size(); ++i) {
        const std::uint16_t id = ReadLe16(&net.sent[i].bytes[4]);
        identifiers.insert(id);
        if (i > 0 && id == static_cast<std::uint16_t>(ReadLe16(&net.sent[i - 1].bytes[4]) + 1))
            ++consecutive;
    }
    // Random 16-bit values: a repeat among 8 is rare, a run of followers or the thread id rarer still.
    EXPECT_GE(identifiers.size(), 7u);
    EXPECT_LE(consecutive, 1);
    EXPECT_LE(identifiers.count(static_cast<std::uint16_t>(platform::GetCurrentThreadId() & 0xFFFF)), 1u);
}

TEST_F(PingEngineTest, SocketsFailuresUnresolvableHostsAndCancellingGiveMinusOneAndALateReadReplyStillCounts) {
    const struct {
        const char* what;
        std::vector<std::string> hosts;
        std::function<void(CFakeIcmpNetwork&, CPingEngine&)> knobs;
        std::vector<std::int32_t> expected;
        std::size_t sent;
    } cases[] = {
        {"datagram socket", {Address(10)}, [](auto& n, auto&) { n.bRaw = false; }, {700}, 1},
        // The pass loses the processor for 1.5 s after its first send: past that request's deadline, with its
        // reply waiting in the socket.
        {"away past a deadline",
         {Address(10), Address(11)},
         [](auto& n, auto&) { n.nStallAfterSend = 1500000; },
         {700, 700},
         2},
        {"full send buffer: retried shortly",
         {Address(10), Address(11), Address(12)},
         [](auto& n, auto&) { n.nBusySends = 25; },
         {700, 700, 700},
         3},
        {"unresolvable", {"", Address(10)}, nullptr, {-1, 700}, 1},
        {"no socket", {Address(10), Address(11)}, [](auto& n, auto&) { n.bCanOpen = false; }, {-1, -1}, 0},
        {"failing wait", {Address(10)}, [](auto& n, auto&) { n.bWaitFails = true; }, {-1}, 1},
        {"cancelled", {Address(10)}, [](auto&, auto& e) { e.Cancel(); }, {-1}, 0},
        {"no hosts", {}, nullptr, {}, 0},
    };
    for (const auto& c : cases) {
        CFakeProbeClock caseClock;
        CFakeIcmpNetwork caseNet(caseClock);
        CPingEngine caseEngine(caseNet, caseClock);
        caseNet.responder = [](const FakeSent& s) { return std::vector<FakeDatagram>{{700, EchoOf(s.bytes), s.to}}; };
        if (c.knobs)
            c.knobs(caseNet, caseEngine);
        EXPECT_EQ(caseEngine.PingAll(c.hosts, 1, 0), c.expected) << c.what;
        EXPECT_EQ(caseNet.sent.size(), c.sent) << c.what;
        if (c.hosts.empty()) {
            EXPECT_EQ(caseNet.nOpened, 0) << "no hosts, no socket";
        }
    }
}
