// The folder that holds the program's working files ("qr.jpg", "ph.bmp",
// "cs.bmp", "pa.dat"). Plain C++.
#pragma once
#include <string>

// The directory of the running program without a trailing '/', or the per-user
// data directory ($XDG_DATA_HOME/qrtool, else ~/.local/share/qrtool, created
// when missing) when the program's directory is not writable: an installed
// copy lives in a folder the user cannot write to.
std::string FindWorkingFolder();
