// Subcommands of `qrtool`. Each takes the arguments after its name and returns
// the exit status: 0 success, 1 nothing found or nothing done, 2 bad usage or
// unreadable input. Errors go to stderr.
#pragma once

int RunEncode(int argc, char** argv);
int RunBatch(int argc, char** argv);
int RunDecode(int argc, char** argv);
int RunSend(int argc, char** argv);
int RunListen(int argc, char** argv);
