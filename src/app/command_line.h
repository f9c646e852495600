// The command line of the console player.
#pragma once

#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ot {

struct CommandLine {
  bool fullscreen = false;
  bool cover_others = false;
  bool dedither = false;
  bool soft_audio = false;
  std::optional<bool> background;
  std::optional<bool> clouds;
  std::optional<bool> waves;
  std::optional<bool> sounds;

  bool operator==(const CommandLine&) const = default;
};

// The program ends without playing: status 0 with `text` for standard output (help, version),
// or status 2 with `text` for standard error (a rejected argument). `text` ends in a line feed.
struct CommandLineStop {
  int status = 0;
  std::string text;
};

std::string_view usage_text();
inline constexpr std::string_view kVersionLine = "open-tobelund 0.5.0\n";

// Arguments after the program name. Matching is exact and case-sensitive.
std::expected<CommandLine, CommandLineStop> parse_command_line(
    std::span<const std::string_view> args);

}  // namespace ot
