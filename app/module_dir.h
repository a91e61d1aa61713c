// The directory that holds the program's working files ("qr.jpg", "ph.bmp",
// "cs.bmp", "pa.dat"). Plain C++.
#pragma once

constexpr int kModuleDirectorySize = 261;

// The directory of the running program without a trailing '/', or the per-user
// data directory ($XDG_DATA_HOME/qrtool, else ~/.local/share/qrtool) when the
// program's directory is not writable. Filled by GetModuleDir.
extern char ModuleDirectory[kModuleDirectorySize];

// Fills ModuleDirectory (called once at start-up; later calls refill it).
void GetModuleDir();

// Points ModuleDirectory at `directory` (tests, and callers that know better).
void SetModuleDirectory(const char* directory);
