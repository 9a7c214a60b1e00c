// Running the desktop's command-line tools (gsettings, xfconf-query, update-mime-database,
// update-desktop-database): a program found on PATH, its arguments passed as they are (no
// shell), its standard output collected, its standard error dropped, its input empty.
// The child inherits the environment and the working directory; ours does not change.
#pragma once

#include <string>
#include <vector>

struct PROGRAM_RUN {
    bool started = false; // false: the program is not installed or could not be started
    int exit_code = -1;   // the exit status; -1 when it ended by a signal
    std::string output;   // what it wrote to standard output
};

PROGRAM_RUN RunProgram(const std::vector<std::string>& argv);
// True when a program of that name is on PATH.
bool ProgramExists(const std::string& name);
