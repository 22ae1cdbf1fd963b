// Child processes for the whole-program benchmarks, measured with wait4.
#include "BenchProcess.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace lanwick::bench {

namespace {

// An unnamed file holding text, positioned at its start; -1 when it could not be made.
int InputFile(const std::string& strText) {
    const int fd = memfd_create("bench-input", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    std::size_t done = 0;
    while (done < strText.size()) {
        const ssize_t n = write(fd, strText.data() + done, strText.size() - done);
        if (n <= 0) {
            close(fd);
            return -1;
        }
        done += static_cast<std::size_t>(n);
    }
    lseek(fd, 0, SEEK_SET);
    return fd;
}

double Seconds(std::chrono::steady_clock::time_point begin) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

} // namespace

ProcessRun RunProcess(const std::vector<std::string>& argv, const std::string& strInput, bool bColdNeighbours) {
    ProcessRun run;
    if (bColdNeighbours && std::system("ip neigh flush all >/dev/null 2>&1") != 0)
        std::fprintf(stderr, "bench: could not flush the neighbour table\n");
    std::vector<char*> cargv;
    std::vector<std::string> args = argv;
    for (std::string& arg : args)
        cargv.push_back(arg.data());
    cargv.push_back(nullptr);
    const int input = InputFile(strInput);
    int fds[2];
    if (input < 0 || pipe2(fds, O_CLOEXEC) != 0) {
        if (input >= 0)
            close(input);
        return run;
    }
    const auto begin = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(input, 0);
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        execvp(cargv[0], cargv.data());
        _exit(127);
    }
    close(input);
    close(fds[1]);
    char buf[65536];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        run.strOut.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    int raw = 0;
    rusage usage{};
    if (pid > 0 && wait4(pid, &raw, 0, &usage) == pid) {
        run.dWall = Seconds(begin);
        run.nPeakKb = usage.ru_maxrss;
        run.nStatus = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    return run;
}

bool HelpMentions(const std::string& strProgram, const std::string& strCommand, const std::string& strOption) {
    const ProcessRun help = RunProcess({strProgram, strCommand, "--help"}, "", false);
    return help.strOut.find(strOption) != std::string::npos;
}

bool Installed(const std::string& strProgram) {
    return std::system(("command -v " + strProgram + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace lanwick::bench
