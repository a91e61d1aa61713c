// The generation rules both pages and `qrtool encode`/`batch` use, once, as tables.
#include "generation/generation_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(GenerationRules, CharacterLimitIsDataCodewordsHalvedLessTwo) {
  // {version, automatic level (counts as L), L, M, Q, H}
  const int table[][6] = {{1, 7, 7, 6, 4, 2},
                          {10, 135, 135, 106, 75, 59},
                          {40, 1476, 1476, 1165, 831, 636}};
  for (const auto& row : table) {
    for (int level = 0; level <= 4; ++level) {
      EXPECT_EQ(CharacterLimit(row[0], level), row[level + 1]) << row[0] << "/" << level;
    }
  }
  EXPECT_EQ(CharacterLimit(0, 4), 300);  // automatic version
  // The command line leaves what fits to the encoder, up to the most a symbol holds.
  EXPECT_EQ(CharacterLimit(0, 0, Generator::kCommandLine), 7089);
  EXPECT_EQ(CharacterLimit(3, 4, Generator::kCommandLine), 7089);
}

TEST(GenerationRules, ChecksAndTheirMessages) {
  const std::string s300(300, 'a'), s301(301, 'a'), s7(7, 'a');
  const struct {
    RuleVerdict verdict;
    const char* message;
  } rows[] = {
      {CheckSingleText(s300, 300), ""},
      {CheckSingleText(s301, 300), "您输入的内容过长，请输入 300 个字符以内的内容！"},
      {CheckSingleText("", 300), "请输入二维码内容！"},
      {CheckSingleText("abc", 2), "您输入的内容过长，请输入 2 个字符以内的内容！"},
      {CheckBatchDestination("p", "/tmp", true), ""},
      {CheckBatchDestination("", "", false), "请输入文件前缀！"},
      {CheckBatchDestination("../x", "", false), "文件前缀不能包含“/”，请重新输入！"},
      {CheckBatchDestination("p", "", false), "请选择文件保存路径！"},
      {CheckBatchDestination("p", "/nowhere", false), "文件保存路径无效，请重新输入！"},
      {CheckBatchSize(false, 500), ""},
      {CheckBatchSize(true, 1), "请输入编码内容！"},
      {CheckBatchSize(false, 501), "您最多可输入500行编码内容，请重新输入！"},
      {CheckBatchLines({"", s7}, 7), ""},
      {CheckBatchLines({s300}, 1476), ""},  // the 300-byte cap below a larger limit
      {CheckBatchLines({s301}, 7089, Generator::kCommandLine), ""},
      {CheckBatchLines({"ok", s301}, 1476),
       "第 2 行数据出错!\r\n出错内容：LINE!\r\n\r\n错误原因:\r\n"
       "您选择的二维码版本只允许输入 300 个字符，您输入了 301 个字符!\r\n请检查后重新输入!"},
      {CheckBatchLines({s7, "abcdefgh"}, 7),
       "第 2 行数据出错!\r\n出错内容：LINE!\r\n\r\n错误原因:\r\n"
       "您选择的二维码版本只允许输入 7 个字符，您输入了 8 个字符!\r\n请检查后重新输入!"},
      {{Refusal::kNoSymbolRecord}, "创建二维码失败！"},
      {{Refusal::kNoBatchRecord}, "创建二维码失败,内存出错，请重新启动程序！"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.verdict.passed(), std::string(row.message).empty()) << row.message;
    EXPECT_EQ(RefusalText(row.verdict, "LINE"), row.message);
  }
}

TEST(GenerationRules, LinesNamesAndTexts) {
  EXPECT_EQ(SplitBoxLines(""), std::vector<std::string>{""});
  EXPECT_EQ(SplitBoxLines("a\r\n\nb\r\n"), (std::vector<std::string>{"a", "", "b", ""}));
  EXPECT_EQ(SplitBoxLines("a\rb"), std::vector<std::string>{"a\rb"});
  EXPECT_EQ(BatchFileName("/out", "p_", 12), "/out/p_12.jpg");
  EXPECT_EQ(BatchFileName("/out/", "", 3), "/out/3.jpg");
  // Low (with its trailing space) and high are read in the pages' and the command's tests.
  EXPECT_EQ(GeneratedStatusText(2, 3, 125), "二维码生成成功 使用版本：3   使用纠错级别： 中   图像尺寸: 125 X 125");
  EXPECT_EQ(GeneratedStatusText(3, 9, 57), "二维码生成成功 使用版本：9   使用纠错级别： 强   图像尺寸: 57 X 57");
  EXPECT_EQ(BatchSummaryText(7), "二维码批量生成成功，共生成: 7 个有效二维码文件");
}

}  // namespace
