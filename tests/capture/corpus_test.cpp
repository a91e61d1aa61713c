// Black-box run of the whole reader over the real-picture corpus, through the
// same path as `qrtool decode` (picture file -> camera rows -> DecodeFrame).
// Fails below the floors and on any code found in a picture that holds none.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "capture/picture_file.h"

namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(QRTOOL_CORPUS_DIR) / "real";

// Converts with iconv; empty when the bytes are not valid in `from`.
std::string ToUtf8(const std::string& bytes, const char* from) {
  iconv_t cd = iconv_open("UTF-8", from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out(bytes.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char* dst = out.data();
  size_t outLeft = out.size();
  size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return {};
  out.resize(out.size() - outLeft);
  return out;
}

// Whether decoded bytes read as the expected UTF-8 text in one of the
// encodings a code may use.
bool Matches(const std::string& bytes, const std::string& expected) {
  if (bytes == expected) return true;
  for (const char* cs : {"CP932", "SHIFT_JIS", "GB18030", "ISO-8859-1"}) {
    std::string u = ToUtf8(bytes, cs);
    if (!u.empty() && u == expected) return true;
  }
  return false;
}

struct FolderResult {
  int pictures = 0;
  int passed = 0;                  // expected text found (or nothing, for false positives)
  std::vector<std::string> wrong;  // decoded something else (misreads)
  std::vector<std::string> missed; // nothing found where a code is
};

FolderResult RunFolder(const fs::path& dir, bool expectNothing) {
  FolderResult r;
  for (const auto& e : fs::directory_iterator(dir)) {
    const fs::path& png = e.path();
    if (png.extension() != ".png") continue;
    ++r.pictures;
    BgrPicture picture;
    std::string error;
    if (!LoadPicture(png.string(), &picture, &error)) {
      ADD_FAILURE() << png << ": " << error;
      continue;
    }
    FitPictureForReader(&picture);
    PictureDecode d = DecodePicture(picture);
    // "NN-joined.png" holds a whole structured-append group whose text is
    // "NN.txt"; "NN-MM.png" holds one member alone, which gives no result.
    fs::path txt = fs::path(png).replace_extension(".txt");
    const std::string stem = png.stem().string();
    const size_t dash = stem.find('-');
    bool none = expectNothing;
    if (!none && !fs::exists(txt) && dash != std::string::npos) {
      txt = png.parent_path() / (stem.substr(0, dash) + ".txt");
      none = stem.substr(dash + 1) != "joined";
    }
    bool found = none && d.results.empty();
    if (!none) {
      std::ifstream in(txt, std::ios::binary);
      const std::string expected{std::istreambuf_iterator<char>(in), {}};
      // A code inside a code gives two results; one right one is enough.
      for (const DecodeResult& res : d.results) {
        found = found || Matches(std::string(reinterpret_cast<const char*>(res.data), res.length),
                                 expected);
      }
    }
    if (found) {
      ++r.passed;
    } else if (!d.results.empty()) {
      r.wrong.push_back(png.filename().string());
    } else {
      r.missed.push_back(png.filename().string());
    }
  }
  return r;
}

// Floors: what the reader reaches (it is deterministic). Raise them as the
// reader improves; a drop below them is a regression.
const std::map<std::string, int> kFloors = {
    {"qrcode-1", 8}, {"qrcode-2", 46}, {"qrcode-3", 18}, {"qrcode-4", 19},
    {"qrcode-5", 16}, {"qrcode-6", 15}, {"qrcode-7", 5},
};

TEST(Corpus, RealPictures) {
  if (!fs::exists(kCorpus)) GTEST_SKIP() << "no corpus at " << kCorpus;
  for (const auto& e : fs::directory_iterator(kCorpus)) {
    if (!e.is_directory()) continue;
    const std::string name = e.path().filename().string();
    const bool falsePositives = name.rfind("falsepositives", 0) == 0;
    FolderResult r = RunFolder(e.path(), falsePositives);
    std::printf("corpus %-18s %3d of %3d %s\n", name.c_str(), r.passed, r.pictures,
                falsePositives ? "without a false positive" : "read");
    if (!r.missed.empty()) std::printf("  missed: %s\n", ::testing::PrintToString(r.missed).c_str());
    if (!r.wrong.empty()) std::printf("  wrong: %s\n", ::testing::PrintToString(r.wrong).c_str());
    if (falsePositives) {
      EXPECT_TRUE(r.wrong.empty()) << name << ": codes found in " << ::testing::PrintToString(r.wrong);
    } else if (auto floor = kFloors.find(name); floor != kFloors.end()) {
      EXPECT_GE(r.passed, floor->second) << name << " misread: " << ::testing::PrintToString(r.wrong);
    }
  }
}

}  // namespace
