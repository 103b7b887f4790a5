// The window's plain text rules: the address and size checks, the size
// limit, ksgrab.cfg parsing, the pop-up targets, the version caption and the
// tray tip's length.
#include <gtest/gtest.h>

#include <QString>

#include "engine/text_lines.h"
#include "ui/mod_system_tray.h"
#include "ui/option_checks.h"
#include "ui/progress_key_targets.h"
#include "ui/settings_file.h"

namespace kestrelin {
namespace {

// An address needs the scheme and a separator after it; a size is a signed
// integer or decimal.
TEST(OptionChecks, AddressAndSizeTexts) {
  const struct { bool (*check)(std::string_view); const char* text; bool valid; } cases[] = {
      {IsValidAddress, "http://example.com/", true}, {IsValidAddress, "http://example.com", false},
      {IsValidAddress, "http://example.com\\index.html", true},
      {IsValidAddress, "https://example.com/", true}, {IsValidAddress, "HTTP://example.com/", false},
      {IsValidAddress, "https://", false}, {IsValidAddress, "http:///", true},
      {IsValidAddress, "ftp://example.com/", false}, {IsValidAddress, " http://example.com/", false},
      {IsNumericText, "1.5", true}, {IsNumericText, " 3 ", true}, {IsNumericText, "-1", true},
      {IsNumericText, "+2", true}, {IsNumericText, ".5", true}, {IsNumericText, "5.", true},
      {IsNumericText, "", false}, {IsNumericText, "12kb", false}, {IsNumericText, ".", false},
      {IsNumericText, "1.2.3", false}, {IsNumericText, "-", false}, {IsNumericText, "1 2", false},
      {IsNumericText, "1e3", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.check(c.text), c.valid) << c.text;
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

// Integer lines allow blanks and a sign.
const std::vector<std::string> kGoodLines = {"/home/u/site", " 1 ", "+0", "1", "1", "0", "1", "0",
                                             "1", "2.5", "-1", "0", "1", "0", "1"};

TEST(SettingsFile, StopsBeforeTheFirstLineThatCannotBeAppliedAndTakesWhatAShortFileHolds) {
  // kGoodLines with line `line` (from 1) replaced by `text`, or cut before
  // it when `text` is null; the reading must give `line - 1` values.
  const struct { std::size_t line; const char* text; } bad[] = {
      {2, "x"}, {3, "3"}, {4, "-1"}, {5, "1.5"}, {11, "2"}, {11, "-2"}, {12, ""}, {15, "yes"},
      {13, "99999999999"}, {14, "1.0"}, {6, nullptr}, {1, nullptr},
  };
  EXPECT_TRUE(ParseSettings(JoinLinesCrLf(kGoodLines)).Complete);
  for (const auto& b : bad) {
    auto lines = kGoodLines;
    if (b.text) lines[b.line - 1] = b.text;
    else lines.resize(b.line - 1);
    const SettingsRead read = ParseSettings(JoinLinesCrLf(lines));
    EXPECT_FALSE(read.Complete) << b.line << " " << (b.text ? b.text : "(cut)");
    EXPECT_EQ(read.Values.size(), b.line - 1) << b.line << " " << (b.text ? b.text : "(cut)");
  }
}

// Writing and reading whole files: SettingsWindowTest.

// A failed link's key: the crawl window's pop-up test.
TEST(PopupTargets, FileBeforeTheBlankAndPageInsideTheParentheses) {
  const struct { const char* key; const char* file; const char* page; } cases[] = {
      {"/home/u/file.txt", "/home/u/file.txt", "/home/u/file.txt"},
      {"http://a/x (http://a/p(1).html)", "http://a/x", "http://a/p(1.html"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileTargetOfKey(c.key), c.file) << c.key;
    EXPECT_EQ(PageTargetOfKey(c.key), c.page) << c.key;
  }
}

TEST(TrayTip, IsCutTo63CharactersWithoutSplittingOne) {
  const auto times = [](int n, const std::string& s) {
    return QString::fromStdString(s).repeated(n).toStdString();
  };
  const std::string e = "\xC3\xA9";  // é, two bytes
  const struct { std::string tip, shown; } cases[] = {
      {times(70, "a"), times(63, "a")},
      {"short", "short"},
      {times(40, e), times(40, e)},
      {times(70, e), times(63, e)},
      {times(62, "a") + e + "bbb", times(62, "a") + e},
      {times(63, "a") + e, times(63, "a")},
  };
  for (const auto& c : cases) EXPECT_EQ(CutTrayTip(c.tip), c.shown) << c.tip;
}

}  // namespace
}  // namespace kestrelin
