#include "app/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace ot {
namespace {

auto parse(std::vector<std::string_view> args) {
  return parse_command_line(args);
}

std::string rejected(std::string first_line) {
  return first_line + "\n\n" + std::string(usage_text()) + "\n";
}

TEST(CommandLine, UsageTextHasItsFixedShape) {
  const std::string_view usage = usage_text();
  EXPECT_EQ(usage.size(), 1036u);
  EXPECT_EQ(std::count(usage.begin(), usage.end(), '\n'), 16);
  EXPECT_NE(usage.back(), '\n');
  EXPECT_TRUE(usage.starts_with("Usage: open-tobelund [--fullscreen]"));
  EXPECT_NE(usage.find("\n                     [--waves=0|1] [--sounds=0|1]\n\nOptions:\n"),
            std::string_view::npos);
}

TEST(CommandLine, AcceptedArguments) {
  EXPECT_EQ(parse({}).value(), CommandLine{});
  CommandLine all;
  all.fullscreen = all.cover_others = all.dedither = all.soft_audio = true;
  all.background = false;
  all.clouds = true;
  all.waves = false;
  all.sounds = true;
  EXPECT_EQ(parse({"--soft-audio", "--fullscreen", "--dedither", "--cover-others", "--fullscreen",
                   "--background=0", "--clouds=0", "--clouds=1", "--waves=0", "--sounds=1"})
                .value(),
            all);
}

TEST(CommandLine, Stops) {
  const struct {
    std::vector<std::string_view> args;
    int status;
    std::string text;
  } cases[] = {
      {{"--help"}, 0, std::string(usage_text()) + "\n"},
      {{"-h", "--bogus"}, 0, std::string(usage_text()) + "\n"},
      {{"--version"}, 0, "open-tobelund 0.5.0\n"},
      {{"-V"}, 0, "open-tobelund 0.5.0\n"},
      {{"--version", "--bogus"}, 0, "open-tobelund 0.5.0\n"},
      {{"--bogus", "--version"}, 2, rejected("unknown argument --bogus")},
      {{"--colour"}, 2, rejected("unknown argument --colour")},
      {{"--FULLSCREEN"}, 2, rejected("unknown argument --FULLSCREEN")},
      {{"-v"}, 2, rejected("unknown argument -v")},
      {{"--fullscreen=1"}, 2, rejected("unknown argument --fullscreen=1")},
      {{"=1"}, 2, rejected("unknown argument =1")},
      {{"--Sounds=1"}, 2, rejected("unknown argument --Sounds=1")},
      {{""}, 2, rejected("unknown argument ")},
      {{"--sounds=yes"}, 2, rejected("--sounds takes 0 or 1, not yes")},
      {{"--waves="}, 2, rejected("--waves takes 0 or 1, not ")},
      {{"--background=1=0"}, 2, rejected("--background takes 0 or 1, not 1=0")},
      {{"--background=01"}, 2, rejected("--background takes 0 or 1, not 01")},
      {{"--clouds=1", "--clouds=2", "--help"}, 2, rejected("--clouds takes 0 or 1, not 2")},
  };
  for (const auto& c : cases) {
    auto result = parse(c.args);
    ASSERT_FALSE(result) << c.text;
    EXPECT_EQ(result.error().status, c.status) << c.text;
    EXPECT_EQ(result.error().text, c.text);
  }
}

}  // namespace
}  // namespace ot
