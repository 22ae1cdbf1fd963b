// "ping": hosts pinged all at once with the monitoring probe's semantics, answered like fping (0 all answered,
// 1 some did not, 2 refused or failed). Every host is checked and resolved before the first request goes out.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/Args.h"
#include "cli/CliFiles.h"
#include "cli/Commands.h"
#include "cli/Formats.h"
#include "cli/StopRequest.h"
#include "cli/Targets.h"
#include "probes/PingEngine.h"

namespace lanwick::cli {

namespace {

constexpr const char* kHelp =
    "Usage: lanwick-cli ping [--retries N] [--pause MS] [--timeout MS] [--settings FILE] HOST...\n"
    "\n"
    "Pings every HOST (a dotted address or a host name) at once, the way a monitoring pass pings a machine:\n"
    "N attempts of up to one second (or --timeout) each, MS milliseconds of pause after an answered attempt;\n"
    "the result is the average round trip of the attempts, or no answer when an attempt failed. Prints one line\n"
    "per HOST, in the order given: the host, a tab, then the round trip in milliseconds or \"No\".\n"
    "  --retries N   attempts per host, 1 to 255 (default: Retries of the settings)\n"
    "  --pause MS    pause after an answered attempt, 0 to 60000 ms (default: Pause of the settings)\n"
    "  --timeout MS  how long an attempt waits for its reply, 10 to 10000 ms (default 1000)\n"
    "Exit status: 0 when every host answered, 1 when some did not, 2 on an error (nothing is sent when a HOST\n"
    "is not a valid address or name, or is no single host's: a broadcast or multicast address).\n";

} // namespace

int RunPing(const Arguments& arguments) {
    const CArgs args(arguments, {{"--retries", true}, {"--pause", true}, {kTimeoutOption, true}});
    if (args.WantsHelp()) {
        Print(kHelp);
        return 0;
    }
    CheckSettingsOption(args);
    args.RequirePositionals(1, SIZE_MAX, "HOST");
    std::optional<unsigned> retries;
    std::optional<unsigned> pause;
    if (const auto value = args.Value("--retries"))
        retries = static_cast<unsigned>(ParseNumber(*value, 1, 255, "--retries"));
    if (const auto value = args.Value("--pause"))
        pause = static_cast<unsigned>(ParseNumber(*value, 0, 60000, "--pause"));
    const std::uint32_t timeout = TimeoutOption(args);
    const std::vector<std::string> addresses = ResolveHosts(args.Positionals());
    if (!retries || !pause) {
        const CliSettings settings = LoadCliSettings(args);
        retries = retries.value_or(AttemptsFor(settings.settings.m_nRetries));
        pause = pause.value_or(static_cast<unsigned>(std::max<std::int32_t>(settings.settings.m_nPause, 0)));
    }
    RequireIcmp();

    CPingEngine engine;
    engine.SetTimeout(timeout);
    CStopRequest::Install(&engine);
    const std::vector<std::int32_t> results = engine.PingAll(addresses, *retries, *pause);
    // Hosts cut short by the stop would read as silent: print none of them.
    if (CStopRequest::Requested())
        throw CCliError("interrupted", 128 + CStopRequest::Signal());

    std::string out;
    int nStatus = 0;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const bool bAnswered = results[i] >= 0;
        out += TsvField(args.Positionals()[i]) + '\t' +
               (bAnswered ? FormatMilliseconds(static_cast<double>(results[i])) : std::string("No")) + '\n';
        if (!bAnswered)
            nStatus = 1;
    }
    Print(out);
    return nStatus;
}

} // namespace lanwick::cli
