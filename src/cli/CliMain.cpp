// lanwick-cli: the monitor's core from a terminal. Dispatches to the commands and turns every refusal into one
// line on stderr with a non-zero status.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "cli/Args.h"
#include "cli/Commands.h"

namespace lanwick::cli {

bool TryPrint(const std::string& strText) {
    return std::fwrite(strText.data(), 1, strText.size(), stdout) == strText.size() && std::fflush(stdout) == 0;
}

void Print(const std::string& strText) {
    if (!TryPrint(strText))
        throw CCliError(std::string("cannot write the output: ") + std::strerror(errno));
}

} // namespace lanwick::cli

namespace {

using namespace lanwick::cli;

struct Command {
    const char* name;
    int (*run)(const Arguments&);
};

constexpr Command kCommands[] = {
    {"list", RunList}, {"ping", RunPing},     {"scan", RunScan},   {"monitor", RunMonitor}, {"history", RunHistory},
    {"wake", RunWake}, {"vendor", RunVendor}, {"watch", RunWatch}, {"devices", RunDevices},
};

constexpr const char* kUsage =
    "Usage: lanwick-cli [--settings FILE] COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  list [FILE] [--format tsv|csv|json]     the machines of a machine file\n"
    "  ping [--retries N] [--pause MS] HOST...  ping hosts all at once; round trip in ms or \"No\"\n"
    "  scan START END [--workers 10..80] [--names] [--add GROUP [--file FILE]]\n"
    "                                          find the machines of an address range\n"
    "  monitor [FILE] [--group G] [--refresh S] [--passes K] [--prom-file PATH] [--no-history]\n"
    "                                          monitor headless, printing every notification\n"
    "  history [HOST...] [--since 24h|7d|30d] [--format tsv|csv|json]\n"
    "                                          uptime, round trips and state changes monitor recorded\n"
    "  wake TARGET [--file FILE] | wake ADDRESS MAC\n"
    "                                          send a Wake-on-LAN packet\n"
    "  vendor MAC...                           vendor names of MAC addresses\n"
    "  watch START END [--every S] [--exec CMD] [--prom-file PATH] [--history FILE]\n"
    "                                          announce devices new to the network, once each\n"
    "  devices [--unknown] [--format tsv|csv|json] | devices --accept MAC\n"
    "                                          the devices a watch has seen; accept one as known\n"
    "\n"
    "\"lanwick-cli COMMAND --help\" tells more about a command.\n"
    "\n"
    "Files: the settings file is Lanwick.ini, found as the window finds its own: beside this program in a build\n"
    "tree; for an installed program (or one whose folder cannot be written) in $STATE_DIRECTORY when systemd\n"
    "sets it, else in $XDG_CONFIG_HOME/lanwick or ~/.config/lanwick. --settings FILE\n"
    "names another one, which must exist and be readable whatever the command. Settings files over 1 MB and\n"
    "machine files over 256 MB are refused. Retries, Pause and Refresh of the settings file are held to the\n"
    "settings sheet's ranges (1..255, 1..5000 ms, 10..86400 s). A command without FILE uses the settings'\n"
    "default machine file (DefFile, else machines.xml beside the settings file).\n"
    "\n"
    "The history database Lanwick-history.db, which monitor writes and history reads, lies beside this program in\n"
    "a build tree (beside the --settings file when one is named); else in $STATE_DIRECTORY, else in\n"
    "$XDG_DATA_HOME/lanwick or ~/.local/share/lanwick. The [History] section of the settings file may name\n"
    "another (File=), keep other than 30 days (Days=) or switch the history off (Enabled=0).\n"
    "\n"
    "An option value starting with \"--\" is refused as a forgotten value. Files are replaced whole through a\n"
    "temporary file in their folder; a symbolic link is followed only where the kernel's protected_symlinks\n"
    "rule would (not another user's link in a sticky world-writable folder such as /tmp).\n"
    "\n"
    "Exit status: 0 done; 1 some hosts did not answer (ping), or no history database or a host it holds nothing\n"
    "of (history); 2 refused or failed; 128+N stopped by signal N\n"
    "(scan, ping); monitor and watch exit 0 when stopped by SIGINT or SIGTERM.\n";

int Dispatch(std::vector<std::string> args) {
    // A --settings before the command belongs to the command.
    std::vector<std::string> leading;
    while (!args.empty() && args.front().rfind("--settings", 0) == 0) {
        leading.push_back(args.front());
        args.erase(args.begin());
        if (leading.back() == "--settings" && !args.empty()) {
            leading.push_back(args.front());
            args.erase(args.begin());
        }
    }
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string strCommand = args.front();
    args.erase(args.begin());
    if (strCommand == "--help" || strCommand == "-h" || strCommand == "help") {
        if (args.empty()) {
            Print(kUsage);
            return 0;
        }
        strCommand = args.front();
        args = {"--help"};
    }
    if (strCommand == "--version") {
        Print("lanwick-cli " LANWICK_VERSION "\n");
        return 0;
    }
    args.insert(args.end(), leading.begin(), leading.end());
    for (const Command& command : kCommands) {
        if (strCommand == command.name) {
            try {
                return command.run(args);
            } catch (const CCliError& error) {
                std::fprintf(stderr, "lanwick-cli: %s: %s\n", command.name, error.what());
                return error.Status();
            }
        }
    }
    throw CCliError("unknown command \"" + Shorten(strCommand) + "\" (see lanwick-cli --help)");
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Dispatch(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const CCliError& error) {
        std::fprintf(stderr, "lanwick-cli: %s\n", error.what());
        return error.Status();
    } catch (const std::bad_alloc&) {
        std::fputs("lanwick-cli: out of memory\n", stderr);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lanwick-cli: %s\n", error.what());
    }
    return 2;
}
