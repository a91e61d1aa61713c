// qrtool listen: receives the data interface's datagrams and prints their texts.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/text_codec.h"
#include "cli/cli_util.h"
#include "cli/commands.h"
#include "datainterface/datagram_reader.h"

namespace {

constexpr const char* kUsage =
    "usage: qrtool listen [--port 9981] [--bind 0.0.0.0] [--count N] [--timeout S] [--raw]\n"
    "\n"
    "Receives datagrams sent by the desktop program's data interface (or by\n"
    "'qrtool send') and prints each text on its own line, GBK shown as UTF-8.\n"
    "Pieces of a long text are joined; a long text whose last piece is a full\n"
    "1200 bytes is printed after a second without further pieces.\n"
    "\n"
    "  --port P     UDP port to listen on (0: any free port; the port is reported)\n"
    "  --bind ADDR  local IPv4 address to listen on (default 0.0.0.0, all)\n"
    "  --count N    stop after N texts (default: run until interrupted)\n"
    "  --timeout S  stop after S seconds (default: no limit)\n"
    "  --raw        print the received bytes as they are\n"
    "\n"
    "Exit status: 0 when at least one text was received, 1 when none was.\n";

using Clock = DatagramAssembler::Clock;

struct Options {
  int port = 9981;
  std::string bind = "0.0.0.0";
  long count = 0;    // 0: no limit
  long timeout = 0;  // seconds, 0: no limit
  bool raw = false;
};

// Nullopt to go on, else the exit status to stop with.
std::optional<int> ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 0; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return cli::kExitOk;
    }
    if (arg == "--raw") {
      o->raw = true;
      continue;
    }
    std::string name, value;
    bool missing = false;
    for (const char* option : {"port", "count", "timeout", "bind"}) {
      if (cli::TakeOption(argc, argv, &i, option, &value, &missing)) {
        name = option;
        break;
      }
    }
    if (name.empty() || missing) {
      cli::Error(missing ? "option '" + std::string(arg) + "' needs a value"
                         : "unknown argument '" + std::string(arg) + "'");
      std::cerr << kUsage;
      return cli::kExitUsage;
    }
    bool good = true;
    if (name == "bind") {
      in_addr a{};
      good = inet_pton(AF_INET, value.c_str(), &a) == 1;
      if (good) o->bind = value;
    } else {
      long max = name == "port" ? 65535 : name == "count" ? 1000000000L : 86400L * 365;
      std::optional<long> number = cli::ParseInt(value, name == "port" ? 0 : 1, max);
      good = number.has_value();
      if (good && name == "port") o->port = static_cast<int>(*number);
      if (good && name == "count") o->count = *number;
      if (good && name == "timeout") o->timeout = *number;
    }
    if (!good) {
      cli::Error("bad value '" + value + "' for --" + name);
      return cli::kExitUsage;
    }
  }
  return std::nullopt;
}

int OpenSocket(const Options& o, std::string* where) {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(o.port));
  inet_pton(AF_INET, o.bind.c_str(), &addr.sin_addr);
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    int e = errno;
    close(fd);
    errno = e;
    return -1;
  }
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  *where = o.bind + ":" + std::to_string(ntohs(addr.sin_port));
  return fd;
}

void Print(const std::string& text, bool raw) {
  if (raw) {
    std::fwrite(text.data(), 1, text.size(), stdout);
  } else {
    std::string utf8;
    textcodec::GbkToUtf8(text, &utf8);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  }
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace

int RunListen(int argc, char** argv) {
  Options o;
  if (std::optional<int> status = ParseOptions(argc, argv, &o)) return *status;
  std::string where = o.bind + ":" + std::to_string(o.port);
  int fd = OpenSocket(o, &where);
  if (fd < 0) {
    cli::Error("cannot listen on " + where + ": " + std::strerror(errno));
    return cli::kExitUsage;
  }
  cli::Error("listening on " + where);

  DatagramAssembler assembler;
  long received = 0;
  std::optional<Clock::time_point> deadline;
  if (o.timeout > 0) deadline = Clock::now() + std::chrono::seconds(o.timeout);
  auto deliver = [&](const std::vector<std::string>& texts) {
    for (const std::string& t : texts) {
      if (o.count > 0 && received >= o.count) return;
      Print(t, o.raw);
      ++received;
    }
  };
  unsigned char buffer[65536];
  while (o.count == 0 || received < o.count) {
    Clock::time_point now = Clock::now();
    if (deadline && now >= *deadline) break;
    std::optional<Clock::time_point> wake = assembler.NextExpiry();
    if (deadline && (!wake || *deadline < *wake)) wake = deadline;
    int waitMs = -1;
    if (wake) {
      auto ms = std::chrono::ceil<std::chrono::milliseconds>(*wake - now).count();
      waitMs = static_cast<int>(ms < 0 ? 0 : ms);
    }
    pollfd p{fd, POLLIN, 0};
    int ready = poll(&p, 1, waitMs);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) {
      deliver(assembler.Expire(Clock::now(), false));
      continue;
    }
    sockaddr_in from{};
    socklen_t fromLen = sizeof from;
    ssize_t n = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (n < 0) continue;
    DatagramAssembler::Kind kind;
    DatagramAssembler::Source source{from.sin_addr.s_addr, from.sin_port};
    deliver(assembler.Take(source, buffer, static_cast<size_t>(n), Clock::now(), &kind));
    if (kind == DatagramAssembler::Kind::Unknown) {
      cli::Error("ignored a datagram of " + std::to_string(n) +
                 " bytes that is not in the data interface's format");
    }
  }
  // What is still pending when time runs out is printed as it stands.
  deliver(assembler.Expire(Clock::now(), true));
  close(fd);
  return received > 0 ? cli::kExitOk : cli::kExitNothing;
}
