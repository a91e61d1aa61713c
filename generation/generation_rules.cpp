#include "generation/generation_rules.h"

#include "encoder/qr_encoder.h"

int32_t CharacterLimit(int versionIndex, int levelIndex) {
  if (versionIndex <= 0) return kAutomaticLimit;
  int32_t capacities[4];
  if (qr_version_capacity(versionIndex, capacities) != 0) return kAutomaticLimit;
  int level = (levelIndex >= 1 && levelIndex <= 4) ? levelIndex - 1 : 0;
  return capacities[level] / 2 - 2;
}

std::vector<std::string> SplitBoxLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      return lines;
    }
    size_t end = (nl > start && text[nl - 1] == '\r') ? nl - 1 : nl;
    lines.emplace_back(text.substr(start, end - start));
    start = nl + 1;
  }
}

std::string BatchFileName(std::string_view path, std::string_view prefix, int lineNumber) {
  std::string name(path);
  if (name.empty() || name.back() != '/') name += '/';
  name.append(prefix);
  name += std::to_string(lineNumber);
  name += ".jpg";
  return name;
}
