// The window's plain text rules: the address and size checks, the size
// limit, ksgrab.cfg parsing, the pop-up targets, the version caption and the
// tray tip's length.
#include <gtest/gtest.h>

#include "engine/text_lines.h"
#include "ui/mod_system_tray.h"
#include "ui/option_checks.h"
#include "ui/progress_key_targets.h"
#include "ui/settings_file.h"

namespace kestrelin {
namespace {

TEST(AddressCheck, NeedsTheSchemeAndASeparatorAfterIt) {
  const struct { const char* text; bool valid; } cases[] = {
      {"http://example.com/", true},  {"http://example.com", false},
      {"http://example.com\\index.html", true},
      {"https://example.com/", true}, {"https://example.com", false},
      {"HTTP://example.com/", false}, {"Https://example.com/", false},
      {"http://", false},             {"http:///", true},
      {"https://", false},            {"", false},
      {"ftp://example.com/", false},  {" http://example.com/", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidAddress(c.text), c.valid) << c.text;
}

TEST(SizeCheck, AcceptsSignedIntegersAndDecimals) {
  const struct { const char* text; bool valid; } cases[] = {
      {"12", true}, {"1.5", true}, {" 3 ", true}, {"-1", true}, {"+2", true}, {".5", true},
      {"5.", true}, {"", false}, {"abc", false}, {"12kb", false}, {".", false}, {"1.2.3", false},
      {"-", false}, {"1 2", false}, {"1e3", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsNumericText(c.text), c.valid) << c.text;
}

TEST(SizeLimit, MultipliesByTheUnitAndRoundsHalvesToEven) {
  const struct { const char* text; int unit; std::optional<std::int64_t> bytes; } cases[] = {
      {"1.5", 1, 1572864}, {"1.5", 0, 1536}, {"1", 0, 1024},
      {"0.00244140625", 0, 2},  // 2.5 bytes
      {"0.00341796875", 0, 4},  // 3.5 bytes
      {"12", -1, 0},
      {"9999", 1, 9999LL * 1048576},  // past 32 bits, must not wrap around
      {"abc", 0, std::nullopt}, {"", 1, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ComputeSizeLimit(c.text, c.unit), c.bytes) << c.text;
}

const std::vector<std::string> kGoodLines = {"/home/u/site", "1", "0", "1", "1", "0", "1", "0",
                                             "1", "2.5", "1", "0", "1", "0", "1"};

TEST(SettingsFile, ReadsAllFifteenLinesAndIgnoresTheRest) {
  auto lines = kGoodLines;
  lines.push_back("garbage");
  const SettingsRead read = ParseSettings(JoinLinesCrLf(lines));
  ASSERT_TRUE(read.Complete);
  ASSERT_EQ(read.Values.size(), 15u);
  EXPECT_EQ(read.Values[0].Text, "/home/u/site");
  EXPECT_EQ(read.Values[9].Text, "2.5");
  EXPECT_EQ(read.Values[10].Number, 1);
  EXPECT_EQ(read.Values[14].Number, 1);
}

TEST(SettingsFile, StopsBeforeTheFirstLineThatCannotBeAppliedAndTakesWhatAShortFileHolds) {
  // kGoodLines with line `line` (from 1) replaced by `text`, or cut before
  // it when `text` is null; the reading must give `line - 1` values.
  const struct { std::size_t line; const char* text; } bad[] = {
      {2, "x"}, {3, "3"}, {4, "-1"}, {5, "1.5"}, {11, "2"}, {11, "-2"}, {12, ""}, {15, "yes"},
      {6, nullptr}, {1, nullptr},
  };
  for (const auto& b : bad) {
    auto lines = kGoodLines;
    if (b.text) lines[b.line - 1] = b.text;
    else lines.resize(b.line - 1);
    const SettingsRead read = ParseSettings(JoinLinesCrLf(lines));
    EXPECT_FALSE(read.Complete) << b.line << " " << (b.text ? b.text : "(cut)");
    EXPECT_EQ(read.Values.size(), b.line - 1) << b.line << " " << (b.text ? b.text : "(cut)");
  }
  // A unit of -1 and text lines that are no numbers are acceptable.
  auto lines = kGoodLines;
  lines[9] = "abc";
  lines[10] = "-1";
  EXPECT_TRUE(ParseSettings(JoinLinesCrLf(lines)).Complete);
}

TEST(SettingsFile, IntegerLinesAllowBlanksAndASign) {
  const struct { const char* text; std::optional<int> value; } cases[] = {
      {" 1 ", 1}, {"-1", -1}, {"+0", 0}, {"1.0", std::nullopt}, {"", std::nullopt},
      {"99999999999", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseSettingInteger(c.text), c.value) << c.text;
}

TEST(SettingsFile, WritesFifteenCrLfLinesInTheFixedOrder) {
  std::vector<SettingValue> values(15);
  values[0].Text = "/d";
  values[9].Text = "12";
  values[10].Number = -1;
  values[14].Number = 1;
  EXPECT_EQ(FormatSettings(values),
            "/d\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n12\r\n-1\r\n0\r\n0\r\n0\r\n1\r\n");
  EXPECT_STREQ(SettingsLayout()[8].Control, "chkTxtOutput");
  EXPECT_STREQ(SettingsLayout()[11].Control, "chkNoGoUp");
}

TEST(PopupTargets, FileBeforeTheBlankAndPageInsideTheParentheses) {
  const struct { const char* key; const char* file; const char* page; } cases[] = {
      {"http://a/x.gif (http://a/p.html)", "http://a/x.gif", "http://a/p.html"},
      {"/home/u/file.txt", "/home/u/file.txt", "/home/u/file.txt"},
      {"http://a/x (http://a/p(1).html)", "http://a/x", "http://a/p(1.html"},
      {"http://a/only", "http://a/only", "http://a/only"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileTargetOfKey(c.key), c.file) << c.key;
    EXPECT_EQ(PageTargetOfKey(c.key), c.page) << c.key;
  }
}

TEST(TrayTip, IsCutTo63BytesWithoutSplittingACharacter) {
  const std::string seventy(70, 'a');
  EXPECT_EQ(CutTrayTip(seventy), std::string(63, 'a'));
  EXPECT_EQ(CutTrayTip("short"), "short");
  const std::string accented = std::string(62, 'a') + "\xC3\xA9" + "bbb";  // é across the cut
  EXPECT_EQ(CutTrayTip(accented), std::string(62, 'a'));
}

}  // namespace
}  // namespace kestrelin
