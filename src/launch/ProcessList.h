#pragma once

#include <string>
#include <vector>

// The executable names (no path) of the processes running now, UTF-8; empty when the system's
// process list cannot be read. One implementation per system: ProcessList_linux.cpp reads /proc,
// ProcessList_win.cpp takes a Toolhelp snapshot. Plain C++ only, so the Windows one can be
// built with mingw-w64 and run under Wine here.
std::vector<std::string> runningProcessNames();
