// Where the settings and machine files are, and the checks that keep a command from working on a file it cannot
// read whole or from saving over one that is not a machine file.
#include "cli/CliFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "history/History.h"
#include "platform/FileStore.h"

namespace lanwick::cli {

namespace {

std::string DirectoryOf(const std::string& strPath) {
    const std::size_t slash = strPath.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : strPath.substr(0, slash);
}

// The reason a path cannot be read as a regular file, or empty when it can.
std::string UnreadableReason(const std::string& strPath) {
    struct stat st {};
    if (::stat(strPath.c_str(), &st) != 0)
        return std::strerror(errno);
    if (S_ISDIR(st.st_mode))
        return "it is a folder";
    if (!S_ISREG(st.st_mode))
        return "it is not a regular file";
    if (::access(strPath.c_str(), R_OK) != 0)
        return std::strerror(errno);
    return {};
}

std::string ReadWhole(const std::string& strPath, const char* what) {
    if (const std::string strReason = UnreadableReason(strPath); !strReason.empty())
        throw CCliError(std::string("cannot read ") + what + " " + Shorten(strPath) + ": " + strReason);
    std::string strText;
    if (!platform::ReadWholeFile(strPath, strText, kMaxMachineFileBytes)) {
        if (errno == EFBIG)
            throw CCliError(std::string("cannot read ") + what + " " + Shorten(strPath) + ": it is larger than " +
                            std::to_string(kMaxMachineFileBytes >> 20) + " MB, too large for a machine file");
        throw CCliError(std::string("cannot read ") + what + " " + Shorten(strPath) + ": " + std::strerror(errno));
    }
    return strText;
}

// A file that merely holds the marker strings is some other file: it is not read, and never saved over.
void Append(const std::string& strPath, const std::string& strText, CMachineList& list) {
    if (!IsMachineFileText(strText))
        throw CCliError(Shorten(strPath) + " is not a machine file (it does not have the machine file's layout)");
    list.LoadFromText(strText);
}

std::string Machines(std::size_t n) {
    return std::to_string(n) + (n == 1 ? " machine" : " machines");
}

} // namespace

std::string ProgramDir() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && exe.has_parent_path())
        return exe.parent_path().string();
    return std::filesystem::current_path(ec).string();
}

CliSettings LoadCliSettings(const CArgs& args) {
    CliSettings result;
    if (const auto named = args.Value("--settings")) {
        if (named->empty())
            throw CCliError("--settings needs a file name");
        if (const std::string strReason = UnreadableReason(*named); !strReason.empty())
            throw CCliError("cannot read settings file " + Shorten(*named) + ": " + strReason);
        result.strIniFile = *named;
        result.strAppDir = DirectoryOf(*named) + "/";
    } else {
        const SettingsLocation location = LocateSettings(ProgramDir());
        result.strIniFile = location.strIniFile;
        result.strAppDir = location.strAppDir;
        if (platform::FileExists(result.strIniFile)) {
            if (const std::string strReason = UnreadableReason(result.strIniFile); !strReason.empty())
                throw CCliError("cannot read settings file " + Shorten(result.strIniFile) + ": " + strReason);
        }
    }
    std::string strError;
    if (!result.settings.LoadSettings(result.strIniFile, result.strAppDir, &strError))
        throw CCliError("cannot read settings file " + Shorten(result.strIniFile) + ": " + strError);
    return result;
}

void CheckSettingsOption(const CArgs& args) {
    if (args.Has("--settings"))
        LoadCliSettings(args);
}

history::HistoryOptions LoadCliHistoryOptions(const CArgs& args, const CliSettings& settings) {
    const auto named = args.Value("--history");
    if (named && args.Has("--no-history"))
        throw CCliError("--history and --no-history exclude each other");
    if (named && named->empty())
        throw CCliError("--history needs a file name");
    // With --settings its folder stands for the program's, as for the default machine file.
    history::HistoryOptions options =
        history::LoadHistoryOptions(settings.strIniFile, args.Has("--settings") ? settings.strAppDir : ProgramDir());
    if (named) {
        options.bEnabled = true;
        options.strPath = *named;
    }
    if (args.Has("--no-history"))
        options.bEnabled = false;
    return options;
}

std::string MachineFilePath(const std::optional<std::string>& named, const CliSettings& settings) {
    if (named) {
        if (named->empty())
            throw CCliError("the machine file name is empty");
        return *named;
    }
    return settings.settings.m_strDefFile;
}

std::string HistoryPath(const CArgs& args, const CliSettings& settings) {
    if (const auto named = args.Value("--history")) {
        if (named->empty())
            throw CCliError("--history needs a file name");
        return *named;
    }
    const std::string strPath = history::LoadHistoryOptions(settings.strIniFile, ProgramDir()).strPath;
    if (strPath.empty())
        throw CCliError("no folder for the history database: name one with --history FILE");
    return strPath;
}

void ReadMachineFile(const std::string& strPath, CMachineList& list) {
    Append(strPath, ReadWhole(strPath, "machine file"), list);
}

void LoadMachineFileForUpdate(const std::string& strPath, CMachineList& list) {
    // The save replaces the file through a new one in its folder: a folder that cannot take it, or a link the
    // save would refuse to follow, is found out now rather than after the work.
    if (const std::string strReason = platform::ReplaceRefusal(strPath); !strReason.empty())
        throw CCliError("cannot save machine file " + Shorten(strPath) + ": " + strReason);
    if (!platform::FileExists(strPath))
        return;
    const std::string strText = ReadWhole(strPath, "machine file");
    if (!platform::IsReadWritable(strPath))
        throw CCliError("cannot write machine file " + Shorten(strPath) + ": " + std::strerror(errno));
    Append(strPath, strText, list);
    // The save writes only what was read: what the reader passed over would be gone from the file.
    const LoadReport& report = list.LastLoad();
    if (report.Lossless())
        return;
    std::string strLost;
    if (report.nSkipped != 0)
        strLost = Machines(report.nSkipped) + " too damaged to read";
    if (report.nBeyondCount != 0)
        strLost += (strLost.empty() ? "" : " and ") + Machines(report.nBeyondCount) + " beyond its count";
    throw CCliError("machine file " + Shorten(strPath) + " not changed: saving it would lose " + strLost +
                    "; mend the file first");
}

void SaveMachineFile(const std::string& strPath, CMachineList& list) {
    if (list.SaveFile(strPath))
        return;
    switch (list.LastSaveError()) {
    case CMachineList::SaveError::NotAccessible:
        throw CCliError("machine file " + Shorten(strPath) + " not saved: it cannot be both read and written");
    case CMachineList::SaveError::OutOfMemory:
        throw CCliError("machine file " + Shorten(strPath) + " not saved: out of memory");
    default: {
        const std::string strReason = platform::ReplaceRefusal(strPath);
        throw CCliError("machine file " + Shorten(strPath) +
                        " not saved: " + (strReason.empty() ? std::string("the write failed") : strReason) +
                        "; the old file is unchanged");
    }
    }
}

} // namespace lanwick::cli
