#include "generation/generation_rules.h"

#include <algorithm>

#include "encoder/qr_encoder.h"

const RefusalMessage kRefusalMessages[11] = {
    {Refusal::kTextEmpty, "请输入二维码内容！"},
    {Refusal::kTextTooLong, "您输入的内容过长，请输入 %3 个字符以内的内容！"},
    {Refusal::kNoPrefix, "请输入文件前缀！"},
    {Refusal::kBadPrefix, "文件前缀不能包含“/”，请重新输入！"},
    {Refusal::kNoFolder, "请选择文件保存路径！"},
    {Refusal::kBadFolder, "文件保存路径无效，请重新输入！"},
    {Refusal::kNoLines, "请输入编码内容！"},
    {Refusal::kTooManyLines, "您最多可输入500行编码内容，请重新输入！"},
    {Refusal::kLineTooLong,
     "第 %1 行数据出错!\r\n出错内容：%2!\r\n\r\n错误原因:\r\n"
     "您选择的二维码版本只允许输入 %3 个字符，您输入了 %4 个字符!\r\n请检查后重新输入!"},
    {Refusal::kNoSymbolRecord, "创建二维码失败！"},
    {Refusal::kNoBatchRecord, "创建二维码失败,内存出错，请重新启动程序！"},
};

// 7089: the digits version 40 at level L holds, the most any symbol takes
// (2953 for bytes); below it the encoder alone says what fits.
const LengthRules kLengthRules[2] = {
    {Generator::kPage, 300, true, 300},
    {Generator::kCommandLine, 7089, false, 7089},
};

namespace {

const LengthRules& RulesOf(Generator who) {
  return *std::find_if(std::begin(kLengthRules), std::end(kLengthRules),
                       [who](const LengthRules& r) { return r.who == who; });
}

}  // namespace

int32_t CharacterLimit(int versionIndex, int levelIndex, Generator who) {
  const LengthRules& rules = RulesOf(who);
  if (versionIndex <= 0 || !rules.versionLimits) return rules.automaticLimit;
  int32_t capacities[4];
  if (qr_version_capacity(versionIndex, capacities) != 0) return rules.automaticLimit;
  int level = (levelIndex >= 1 && levelIndex <= 4) ? levelIndex - 1 : 0;
  return capacities[level] / 2 - 2;
}

std::string RefusalText(const RuleVerdict& verdict, std::string_view lineText) {
  const RefusalMessage* row =
      std::find_if(std::begin(kRefusalMessages), std::end(kRefusalMessages),
                   [&](const RefusalMessage& m) { return m.what == verdict.what; });
  if (row == std::end(kRefusalMessages)) return {};
  const std::string values[4] = {std::to_string(verdict.line), std::string(lineText),
                                 std::to_string(verdict.allowed), std::to_string(verdict.actual)};
  std::string out;
  for (const char* p = row->text; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] >= '1' && p[1] <= '4') {
      out += values[p[1] - '1'];
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

RuleVerdict CheckSingleText(std::string_view gbk, int32_t limit) {
  if (static_cast<int64_t>(gbk.size()) > limit) return {Refusal::kTextTooLong, 0, limit, 0};
  if (gbk.empty()) return {Refusal::kTextEmpty};
  return {};
}

RuleVerdict CheckBatchDestination(std::string_view prefix, std::string_view folder,
                                  bool folderExists) {
  if (prefix.empty()) return {Refusal::kNoPrefix};
  if (prefix.find('/') != std::string_view::npos) return {Refusal::kBadPrefix};
  if (folder.empty()) return {Refusal::kNoFolder};
  if (!folderExists) return {Refusal::kBadFolder};
  return {};
}

RuleVerdict CheckBatchSize(bool empty, size_t lineCount) {
  if (empty) return {Refusal::kNoLines};
  if (lineCount > static_cast<size_t>(kBatchMaxLines)) return {Refusal::kTooManyLines};
  return {};
}

RuleVerdict CheckBatchLines(const std::vector<std::string>& lines, int32_t limit,
                            Generator who) {
  const int32_t allowed = std::min(limit, RulesOf(who).lineBytes);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].size() > static_cast<size_t>(allowed)) {
      return {Refusal::kLineTooLong, static_cast<int>(i + 1), allowed, lines[i].size()};
    }
  }
  return {};
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

std::string GeneratedStatusText(int32_t ecLevel, int32_t version, int32_t side) {
  // The low level's line ends in a blank the others lack: the line is shown
  // exactly as it always was.
  const char* level = ecLevel == 1 ? "低" : ecLevel == 2 ? "中" : ecLevel == 3 ? "强" : "高";
  const std::string n = std::to_string(side);
  return "二维码生成成功 使用版本：" + std::to_string(version) + "   使用纠错级别： " + level +
         "   图像尺寸: " + n + " X " + n + (ecLevel == 1 ? " " : "");
}

std::string BatchSummaryText(int written) {
  return "二维码批量生成成功，共生成: " + std::to_string(written) + " 个有效二维码文件";
}
