#include "assets/data_error.h"

#include <gtest/gtest.h>

#include "support/printers.h"

namespace ot {
namespace {

TEST(DataError, DisplayTexts) {
  EXPECT_EQ(DataError::io("Permission denied").display_text(), "I/O error: Permission denied");
  EXPECT_EQ(DataError::missing("TOBELUND.SCR in /x").display_text(),
            "missing screensaver file: TOBELUND.SCR in /x");
  EXPECT_EQ(DataError::invalid("truncated data").display_text(),
            "invalid screensaver data: truncated data");
  // Only shown details are sanitised; the stored one is kept as it was.
  const DataError e = DataError::invalid("a\tb");
  EXPECT_EQ(e.display_text(), "invalid screensaver data: a\\tb");
  EXPECT_EQ(e.detail, "a\tb");
}

TEST(SanitizeDetail, EscapesControlCharacters) {
  const struct {
    std::string_view in;
    std::string_view out;
  } cases[] = {
      {"tab\there", "tab\\there"},
      {"a\nb\rc", "a\\nb\\rc"},
      {std::string_view("\0", 1), "\\u{0}"},
      {"\x1b[1m", "\\u{1b}[1m"},
      {"\x7f", "\\u{7f}"},
      {"\xC2\x85", "\\u{85}"},   // C1 control
      {"\xC2\xA0", "\xC2\xA0"},  // no-break space is not a control
      {"back\\slash \"q\" 'q'", "back\\slash \"q\" 'q'"},
      {"\xEF\xBF\xBD", "\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) EXPECT_EQ(sanitize_detail(c.in), c.out) << c.in;
}

TEST(SanitizeDetail, ShowsAtMost256Characters) {
  EXPECT_EQ(sanitize_detail(std::string(256, 'x')), std::string(256, 'x'));
  EXPECT_EQ(sanitize_detail(std::string(300, 'x')), std::string(256, 'x') + "...");
  // Characters, not bytes: 257 two-byte characters are cut after 256 of them.
  std::string accents;
  for (int i = 0; i < 257; ++i) accents += "\xC3\xA9";
  EXPECT_EQ(sanitize_detail(accents), accents.substr(0, 512) + "...");
  // Escapes count as one character of the detail.
  EXPECT_EQ(sanitize_detail(std::string(256, '\t')).size(), 512u);
}

}  // namespace
}  // namespace ot
