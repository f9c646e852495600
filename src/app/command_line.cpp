#include "app/command_line.h"

#include <array>

namespace ot {

namespace {

constexpr std::string_view kUsage =
    "Usage: open-tobelund [--fullscreen] [--cover-others] [--dedither] [--soft-audio] "
    "[--background=0|1] [--clouds=0|1]\n"
    "                     [--waves=0|1] [--sounds=0|1]\n"
    "\n"
    "Options:\n"
    "  --fullscreen    start fullscreen instead of in a window\n"
    "  --cover-others  with --fullscreen: show on the primary monitor and black out the others\n"
    "  --dedither      blend the 1992 checkerboard dithering into solid colors\n"
    "  --soft-audio    improve the sounds: resample to the device rate, hide the 8-bit hiss, fade "
    "cuts\n"
    "  --background=N  override Background of TOBELUND.INI for this run (0 = off, 1 = on)\n"
    "  --clouds=N      override Clouds of TOBELUND.INI for this run\n"
    "  --waves=N       override Waves of TOBELUND.INI for this run\n"
    "  --sounds=N      override Sounds of TOBELUND.INI for this run\n"
    "  -V, --version   print the version and exit\n"
    "  -h, --help      print this help and exit\n"
    "\n"
    "The original screensaver files (TOBELUND.SCR, RESOURCE.MAP, RESOURCE.001) and TOBELUND.INI "
    "are read\n"
    "from the directory of this executable. Esc exits; F12 saves a screenshot there.";

static_assert(kUsage.size() == 1036);

std::unexpected<CommandLineStop> rejected(std::string message) {
  message.append("\n\n").append(kUsage).push_back('\n');
  return std::unexpected(CommandLineStop{2, std::move(message)});
}

}  // namespace

std::string_view usage_text() {
  return kUsage;
}

std::expected<CommandLine, CommandLineStop> parse_command_line(
    std::span<const std::string_view> args) {
  CommandLine line;
  for (const std::string_view arg : args) {
    if (arg == "-V" || arg == "--version")
      return std::unexpected(CommandLineStop{0, std::string(kVersionLine)});
    if (arg == "-h" || arg == "--help") {
      return std::unexpected(CommandLineStop{0, std::string(kUsage) + "\n"});
    }
    if (arg == "--fullscreen") {
      line.fullscreen = true;
    } else if (arg == "--cover-others") {
      line.cover_others = true;
    } else if (arg == "--dedither") {
      line.dedither = true;
    } else if (arg == "--soft-audio") {
      line.soft_audio = true;
    } else {
      const std::size_t eq = arg.find('=');
      if (eq == std::string_view::npos) return rejected("unknown argument " + std::string(arg));
      const std::string_view name = arg.substr(0, eq);
      const std::string_view value = arg.substr(eq + 1);
      const std::array<std::pair<std::string_view, std::optional<bool>*>, 4> options{{
          {"--background", &line.background},
          {"--clouds", &line.clouds},
          {"--waves", &line.waves},
          {"--sounds", &line.sounds},
      }};
      std::optional<bool>* field = nullptr;
      for (const auto& [option, target] : options) {
        if (name == option) field = target;
      }
      if (field == nullptr) return rejected("unknown argument " + std::string(arg));
      if (value != "0" && value != "1") {
        return rejected(std::string(name) + " takes 0 or 1, not " + std::string(value));
      }
      *field = value == "1";
    }
  }
  return line;
}

}  // namespace ot
