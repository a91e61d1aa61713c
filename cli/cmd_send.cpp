// qrtool send: one text to HOST:PORT in the data interface's datagram format.
#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "common/text_codec.h"
#include "cli/cli_util.h"
#include "cli/commands.h"
#include "datainterface/udp_sender.h"

namespace {

constexpr const char* kUsage =
    "usage: qrtool send [--raw] [--] HOST:PORT TEXT\n"
    "\n"
    "Sends TEXT as the desktop program's data interface does: up to 1200 bytes in\n"
    "one datagram (42 01 01, 32-bit length, text), longer texts as 1200-byte pieces\n"
    "(32-bit length, piece, three zero bytes). TEXT '-' reads standard input.\n"
    "\n"
    "  --raw   send the bytes as given (default: convert UTF-8 to GBK like the pages)\n";

struct Destination {
  std::string address;  // dotted IPv4
  int port = 0;
};

// HOST is a dotted IPv4 address or a name with an IPv4 address.
std::optional<std::string> ResolveIpv4(const std::string& host) {
  in_addr addr{};
  if (inet_pton(AF_INET, host.c_str(), &addr) == 1) return host;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    return std::nullopt;
  }
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr, text,
            sizeof text);
  freeaddrinfo(found);
  return std::string(text);
}

std::optional<Destination> ParseDestination(const std::string& arg) {
  size_t colon = arg.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    cli::Error("expected HOST:PORT, got '" + arg + "'");
    return std::nullopt;
  }
  std::optional<long> port = cli::ParseInt(std::string_view(arg).substr(colon + 1), 1, 65535);
  if (!port) {
    cli::Error("the port must be a number from 1 to 65535: '" + arg.substr(colon + 1) + "'");
    return std::nullopt;
  }
  std::string host = arg.substr(0, colon);
  std::optional<std::string> address = ResolveIpv4(host);
  if (!address) {
    cli::Error("cannot find an IPv4 address for '" + host + "'");
    return std::nullopt;
  }
  return Destination{*address, static_cast<int>(*port)};
}

// The bytes to send: GBK unless raw. Nullopt after reporting why.
std::optional<std::string> TextToSend(const std::string& arg, bool raw) {
  std::string text;
  if (arg == "-") {
    std::optional<std::string> in = cli::ReadStdin();
    if (!in) {
      cli::Error("cannot read standard input");
      return std::nullopt;
    }
    text = *in;
  } else {
    text = arg;
  }
  if (!raw) {
    std::string gbk, bad;
    if (!textcodec::Utf8ToGbk(text, &gbk, &bad)) {
      cli::Error("the text holds '" + bad + "', which GBK cannot represent (--raw sends bytes as given)");
      return std::nullopt;
    }
    text = gbk;
  }
  // The datagram format carries NUL-terminated texts.
  if (text.find('\0') != std::string::npos) {
    cli::Error("the text holds a NUL byte; only texts without one can be sent");
    return std::nullopt;
  }
  return text;
}

}  // namespace

int RunSend(int argc, char** argv) {
  bool raw = false;
  std::string positional[2];
  int count = 0;
  bool optionsEnded = false;
  for (int i = 0; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (optionsEnded) {
      if (count == 2) {
        cli::Error("too many arguments (quote a text that holds blanks)");
        return cli::kExitUsage;
      }
      positional[count++] = std::string(arg);
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return cli::kExitOk;
    }
    if (arg == "--raw") {
      raw = true;
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-" && count < 1) {
      cli::Error("unknown option '" + std::string(arg) + "'");
      std::cerr << kUsage;
      return cli::kExitUsage;
    } else if (count < 2) {
      positional[count++] = std::string(arg);
    } else {
      cli::Error("too many arguments (quote a text that holds blanks)");
      return cli::kExitUsage;
    }
  }
  if (count < 2) {
    std::cerr << kUsage;
    return cli::kExitUsage;
  }
  std::optional<Destination> to = ParseDestination(positional[0]);
  if (!to) return cli::kExitUsage;
  std::optional<std::string> text = TextToSend(positional[1], raw);
  if (!text) return cli::kExitUsage;
  if (text->empty()) {
    cli::Error("nothing sent: the text is empty");
    return cli::kExitNothing;
  }

  UdpStartup();
  UdpSender sender;
  if (!sender.Open()) {
    cli::Error(kUdpOpenFailedText);
    return cli::kExitNothing;
  }
  int32_t sent = sender.SendText(text->c_str(), to->address, to->port);
  sender.Close();
  UdpCleanup();
  return sent == 1 ? cli::kExitOk : cli::kExitNothing;
}
