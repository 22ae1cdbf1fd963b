// The files the command line shares with the window: the settings file found as the window finds its own, and the
// machine file, read and saved only when it can be done whole.
#pragma once

#include <string>

#include "cli/Args.h"
#include "history/History.h"
#include "monitor/Settings.h"
#include "registry/MachineList.h"

namespace lanwick::cli {

struct CliSettings {
    CSettings settings;
    std::string strIniFile;
    std::string strAppDir; // the default machine file is looked for here
};

// The folder of the running program, without a trailing separator.
std::string ProgramDir();

// With --settings FILE: that file, which must exist and be readable; its folder takes the place of the program's.
// Without: "Lanwick.ini" located for this program's folder by the window's rule; a missing file gives the defaults,
// one that exists but cannot be read is refused.
CliSettings LoadCliSettings(const CArgs& args);

// A named settings file that cannot be read is refused even by a command that has no use for its values: a
// mistyped name must not pass silently.
void CheckSettingsOption(const CArgs& args);

// The history database of monitor and history: --history FILE, else the settings file's [History] section, else
// the default place for this program's folder (or for the settings file's folder when --settings names one).
// --no-history (monitor only) switches it off; with --history it is refused.
history::HistoryOptions LoadCliHistoryOptions(const CArgs& args, const CliSettings& settings);

// The machine file a command works on: the one named, else the settings' default file.
std::string MachineFilePath(const std::optional<std::string>& named, const CliSettings& settings);

// The database of the history and the device book: --history FILE, else the one the settings' [History] section
// names, else the default beside the program or in the user's data folder; a refusal when there is none.
std::string HistoryPath(const CArgs& args, const CliSettings& settings);

// Reads a machine file to list, monitor or look machines up in. Refuses a missing or unreadable file and a text
// that is not a machine file; nothing is appended then.
void ReadMachineFile(const std::string& strPath, CMachineList& list);

// Loads a machine file that is to be saved again afterwards. A missing file is fine when its folder can take it
// (the save creates it); a file that exists must be a machine file that can be both read and written. Meant to run
// before anything is sent, so that a command never does its work only to find it cannot save the result.
void LoadMachineFileForUpdate(const std::string& strPath, CMachineList& list);

// Saves the list whole; a refusal when the file could not be written (the old file is then intact).
void SaveMachineFile(const std::string& strPath, CMachineList& list);

} // namespace lanwick::cli
