// Fills a history database with passes over the hosts of a test LAN file, as weeks of monitoring would have
// written them: round trips that vary with the hour, a few slow hours, and two outages of the second host. For
// the History page's screenshot (e2e_history.sh); it never sends a packet.
//
//   history_fill DATABASE LAN_FILE DAYS MINUTES_BETWEEN_PASSES
#include "history/History.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace lanwick::history;

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: history_fill DATABASE LAN_FILE DAYS MINUTES_BETWEEN_PASSES\n");
        return 2;
    }
    std::vector<MachineKey> hosts;
    std::ifstream lan(argv[2]);
    for (std::string line; std::getline(lan, line);) {
        std::istringstream fields(line);
        std::string strNamespace, strAddress, strMac;
        if (std::getline(fields, strNamespace, '\t') && std::getline(fields, strAddress, '\t') &&
            std::getline(fields, strMac, '\t'))
            hosts.push_back({strAddress, NormaliseMac(strMac)});
    }
    const std::int64_t nDays = std::stoll(argv[3]);
    const std::int64_t nStep = std::stoll(argv[4]) * 60;
    if (hosts.empty() || nDays < 1 || nStep < 60) {
        std::fprintf(stderr, "history_fill: no hosts, or DAYS below 1 or MINUTES below 1\n");
        return 2;
    }
    const std::int64_t nNow = static_cast<std::int64_t>(std::time(nullptr));
    std::mt19937 random(7);
    std::uniform_real_distribution<double> jitter(0.0, 1.0);
    CHistoryWriter writer(argv[1]);
    std::size_t nPasses = 0;
    for (std::int64_t t = nNow - nDays * 86400; t < nNow - nStep; t += nStep) {
        PassRecord pass{t, {}};
        const double dHourOfDay = std::fmod(static_cast<double>(t) / 3600.0, 24.0);
        for (std::size_t n = 0; n < hosts.size(); ++n) {
            // Busier in the working day, an occasional slow answer, and the second host down twice.
            const double dBase = 0.15 + 0.1 * static_cast<double>(n) +
                                 0.25 * std::max(0.0, std::sin((dHourOfDay - 7.0) / 12.0 * 3.14159));
            double dMs = dBase * (0.8 + 0.4 * jitter(random));
            if (jitter(random) < 0.01)
                dMs += 0.5 + 2.5 * jitter(random);
            const std::int64_t nAgo = nNow - t;
            const bool bDown =
                n == 1 && ((nAgo > 30 * 3600 && nAgo < 34 * 3600) || (nAgo > 6 * 3600 && nAgo < 7 * 3600));
            pass.checks.push_back({hosts[n], bDown ? -1 : static_cast<std::int32_t>(dMs * 1000)});
        }
        writer.Record(std::move(pass));
        ++nPasses;
    }
    writer.Flush();
    const std::string strReason = writer.PauseReason();
    if (!strReason.empty()) {
        std::fprintf(stderr, "history_fill: %s\n", strReason.c_str());
        return 1;
    }
    std::printf("%zu passes of %zu hosts written to %s\n", nPasses, hosts.size(), argv[1]);
    return 0;
}
