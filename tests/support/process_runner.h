// Runs a program as a user runs it: in a given folder, with standard input
// from a string; collects the exit status, standard output and standard error.
#pragma once
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

struct ProcessResult {
  int status = -1;  // exit status; 128 + signal when killed
  std::string out, err;
};

inline std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs `program args...` in `dir` (which receives the files .stdin, .stdout, .stderr).
inline ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                                const std::string& input, const std::string& dir) {
  const std::string in = dir + "/.stdin", out = dir + "/.stdout", err = dir + "/.stderr";
  std::ofstream(in, std::ios::binary) << input;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  ProcessResult result;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = ReadFileText(out);
  result.err = ReadFileText(err);
  return result;
}

// The qrtool binary under test (CTest sets QRTOOL_CLI).
inline std::string QrtoolPath() {
  const char* path = std::getenv("QRTOOL_CLI");
  return path != nullptr ? path : "qrtool";
}
