// qrtool: the command-line face of the QR tool.
#include <cstring>
#include <iostream>
#include <string_view>

#include "cli/cli_util.h"
#include "cli/commands.h"

namespace {

struct Command {
  const char* name;
  int (*run)(int, char**);
  const char* summary;
};

constexpr Command kCommands[] = {
    {"encode", RunEncode, "encode one text into a QR code JPEG"},
    {"batch", RunBatch, "encode every line of a file into numbered JPEGs"},
    {"decode", RunDecode, "read QR codes from JPEG, PNG or BMP pictures"},
    {"send", RunSend, "send a text to HOST:PORT as data-interface datagrams"},
    {"listen", RunListen, "receive data-interface datagrams and print their texts"},
};

void PrintUsage(std::ostream& out) {
  out << "usage: qrtool <command> [options] ...\n\ncommands:\n";
  for (const Command& c : kCommands) {
    out << "  " << c.name << std::string(8 - std::strlen(c.name), ' ') << c.summary << '\n';
  }
  out << "\nRun 'qrtool <command> --help' for the options of a command.\n"
         "Exit status: 0 success, 1 nothing found or nothing done, 2 bad usage or\n"
         "unreadable input.\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(std::cerr);
    return cli::kExitUsage;
  }
  std::string_view first = argv[1];
  if (first == "--help" || first == "-h" || first == "help") {
    PrintUsage(std::cout);
    return cli::kExitOk;
  }
  if (first == "--version") {
    std::cout << "qrtool " << QRTOOL_VERSION << '\n';
    return cli::kExitOk;
  }
  for (const Command& c : kCommands) {
    if (first == c.name) return c.run(argc - 2, argv + 2);
  }
  cli::Error("unknown command '" + std::string(first) + "' (see qrtool --help)");
  return cli::kExitUsage;
}
