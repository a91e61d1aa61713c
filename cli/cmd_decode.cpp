// qrtool decode: QR codes from picture files, through the camera path's grey
// conversion, printed as the decode page shows them or as JSON.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "capture/picture_file.h"
#include "common/text_codec.h"
#include "cli/cli_util.h"
#include "cli/commands.h"

namespace {

const char kDecodeHelp[] =
    "usage: qrtool decode [--json] [--encoding gbk|unicode|utf8] FILE...\n"
    "\n"
    "Reads the QR codes in JPEG, PNG or BMP pictures (BMP: uncompressed 24 or 32\n"
    "bits, or 8-bit paletted). Each picture goes through the same grey conversion\n"
    "as a camera frame. Pictures larger than 1280 x 1024 are reduced by the\n"
    "smallest whole factor that fits, with a note on stderr.\n"
    "\n"
    "options:\n"
    "  --encoding ENC   how the decoded bytes are read, as on the decode page:\n"
    "                   gbk      the bytes as GBK text (default, \"中文编码\")\n"
    "                   unicode  UTF-8 bytes converted to GBK (\"UNICODE编码\")\n"
    "                   utf8     the same conversion (\"UTF8编码\")\n"
    "  --json           one JSON object per file: {\"file\", \"results\": [{\"text\",\n"
    "                   \"bytes_hex\", \"version\", \"level\"}], \"elapsed_ms\"}\n"
    "  -h, --help       show this help\n"
    "\n"
    "Plain output is the decode page's text: \"解码信息 k :\" and the text of each\n"
    "code found, or \"无解码内容\" when a picture holds none.\n"
    "Exit status: 0 something was found, 1 nothing was found, 2 bad usage or a\n"
    "picture that could not be read.\n";

enum class Encoding { kGbk, kUnicode, kUtf8 };

struct DecodeArgs {
  bool json = false;
  Encoding encoding = Encoding::kGbk;
  std::vector<std::string> files;
};

// Returns -1 to go on, else the exit status.
int ParseDecodeArgs(int argc, char** argv, DecodeArgs* args) {
  bool optionsEnded = false;
  for (int i = 0; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (optionsEnded || arg == "-" || arg.substr(0, 1) != "-") {
      args->files.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-h" || arg == "--help") {
      std::cout << kDecodeHelp;
      return cli::kExitOk;
    } else if (arg == "--json") {
      args->json = true;
    } else {
      std::string value;
      bool missing = false;
      if (!cli::TakeOption(argc, argv, &i, "encoding", &value, &missing)) {
        cli::Error("unknown option '" + std::string(arg) + "' (see qrtool decode --help)");
        return cli::kExitUsage;
      }
      if (value == "gbk") {
        args->encoding = Encoding::kGbk;
      } else if (value == "unicode") {
        args->encoding = Encoding::kUnicode;
      } else if (value == "utf8") {
        args->encoding = Encoding::kUtf8;
      } else {
        cli::Error("--encoding takes gbk, unicode or utf8");
        return cli::kExitUsage;
      }
    }
  }
  if (args->files.empty()) {
    cli::Error("no picture given (see qrtool decode --help)");
    return cli::kExitUsage;
  }
  return -1;
}

std::string RecordBytes(const DecodeResult& r) {
  size_t n = r.length < sizeof r.data ? r.length : sizeof r.data;
  return std::string(reinterpret_cast<const char*>(r.data), n);
}

// The decode page's display bytes (GBK) of one record.
std::string DisplayGbk(const std::string& bytes, Encoding encoding) {
  if (encoding == Encoding::kGbk) return bytes;
  // The conversions read a NUL-terminated text, as the page hands them.
  const char* src = bytes.c_str();
  auto convert = encoding == Encoding::kUnicode ? Utf8ToOemText : Utf8ToAnsiText;
  int32_t size = convert(src, nullptr, 0);
  if (size <= 0) return {};
  std::string out(static_cast<size_t>(size) + 1, '\0');
  if (convert(src, out.data(), size + 1) <= 0) return {};
  out.resize(static_cast<size_t>(size - 1));
  return out;
}

// The best UTF-8 reading of raw bytes: as they are when they are UTF-8, else GBK.
std::string BestUtf8(const std::string& bytes) {
  std::string gbk;
  if (textcodec::Utf8ToGbk(bytes, &gbk)) return bytes;
  std::string utf8;
  textcodec::GbkToUtf8(bytes, &utf8);
  return utf8;
}

void PrintPlain(const std::vector<DecodeResult>& results, Encoding encoding, std::ostream& out) {
  if (results.empty()) {
    out << "无解码内容\n";
    return;
  }
  for (size_t k = 0; k < results.size(); ++k) {
    std::string utf8;
    textcodec::GbkToUtf8(DisplayGbk(RecordBytes(results[k]), encoding), &utf8);
    out << "解码信息 " << k + 1 << " :\n" << utf8 << "\n";
  }
}

void PrintJson(const std::string& file, const std::vector<DecodeResult>& results, double ms,
               std::ostream& out) {
  static const char* kLevels[4] = {"L", "M", "Q", "H"};
  out << "{\"file\": " << cli::JsonString(file) << ", \"results\": [";
  for (size_t k = 0; k < results.size(); ++k) {
    const DecodeResult& r = results[k];
    std::string bytes = RecordBytes(r);
    out << (k ? ", " : "") << "{\"text\": " << cli::JsonString(BestUtf8(bytes))
        << ", \"bytes_hex\": \"" << cli::Hex(bytes) << "\", \"version\": " << r.version
        << ", \"level\": \"" << kLevels[r.ecLevel & 3] << "\"}";
  }
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, "%.3f", ms);
  out << "], \"elapsed_ms\": " << elapsed << "}\n";
}

}  // namespace

int RunDecode(int argc, char** argv) {
  DecodeArgs args;
  int status = ParseDecodeArgs(argc, argv, &args);
  if (status >= 0) return status;

  bool anyFound = false;
  bool anyUnreadable = false;
  for (const std::string& file : args.files) {
    BgrPicture picture;
    std::string error;
    if (!LoadPicture(file, &picture, &error)) {
      cli::Error("cannot read '" + file + "': " + error);
      anyUnreadable = true;
      continue;
    }
    const int32_t width = picture.width, height = picture.height;
    int factor = FitPictureForReader(&picture);
    if (factor > 1) {
      std::cerr << "qrtool: note: " << file << " (" << width << " x " << height
                << ") reduced by " << factor << " to " << picture.width << " x "
                << picture.height << "\n";
    }
    auto start = std::chrono::steady_clock::now();
    PictureDecode decoded = DecodePicture(picture);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    anyFound = anyFound || !decoded.results.empty();
    if (args.json) {
      PrintJson(file, decoded.results, ms, std::cout);
    } else {
      if (args.files.size() > 1) std::cout << file << ":\n";
      PrintPlain(decoded.results, args.encoding, std::cout);
    }
  }
  std::cout.flush();
  if (anyUnreadable) return cli::kExitUsage;
  return anyFound ? cli::kExitOk : cli::kExitNothing;
}
