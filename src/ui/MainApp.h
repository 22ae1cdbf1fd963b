// The application object: fixes where the settings file lives, runs the main window and ends with it.
#pragma once

namespace lanwick {

class CMainApp {
public:
    // Runs the program; returns its exit code.
    int Run(int argc, char** argv);
};

} // namespace lanwick
