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

// Whether decoded bytes read as the expected UTF-8 text as they are or in one
// of the other encodings a code may use.
bool Matches(const std::string& bytes, const std::string& expected) {
  if (bytes == expected) return true;
  for (const char* from : {"CP932", "SHIFT_JIS", "GB18030", "ISO-8859-1"}) {
    iconv_t cd = iconv_open("UTF-8", from);
    std::string out(bytes.size() * 4 + 4, '\0');
    char *in = const_cast<char*>(bytes.data()), *dst = out.data();
    size_t inLeft = bytes.size(), outLeft = out.size();
    const bool converted = iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    if (converted && out == expected) return true;
  }
  return false;
}

// Pictures read right (or without a code, for the false positives) in `dir`;
// the others go to `wrong` (something else read) and `missed`.
int RunFolder(const fs::path& dir, bool expectNothing, std::vector<std::string>* wrong,
              std::vector<std::string>* missed) {
  int passed = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    const fs::path& png = e.path();
    if (png.extension() != ".png") continue;
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
    std::ifstream in(txt, std::ios::binary);
    const std::string expected{std::istreambuf_iterator<char>(in), {}};
    // A code inside a code gives two results; one right one is enough.
    for (const DecodeResult& res : d.results) {
      found = found || (!none && Matches(std::string(reinterpret_cast<const char*>(res.data),
                                                     res.length), expected));
    }
    passed += found;
    if (!found) (d.results.empty() ? missed : wrong)->push_back(png.filename().string());
  }
  return passed;
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
    std::vector<std::string> wrong, missed;
    const int passed = RunFolder(e.path(), falsePositives, &wrong, &missed);
    const size_t pictures = passed + wrong.size() + missed.size();  // unreadable ones failed already
    std::printf("corpus %-18s %3d of %3zu %s\n  missed: %s\n  wrong: %s\n", name.c_str(), passed,
                pictures, falsePositives ? "without a false positive" : "read",
                ::testing::PrintToString(missed).c_str(), ::testing::PrintToString(wrong).c_str());
    if (falsePositives) {
      EXPECT_TRUE(wrong.empty()) << name << ": codes found in " << ::testing::PrintToString(wrong);
    } else if (auto floor = kFloors.find(name); floor != kFloors.end()) {
      EXPECT_GE(passed, floor->second) << name << " misread: " << ::testing::PrintToString(wrong);
    }
  }
}

}  // namespace
