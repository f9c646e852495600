// The console player.
#include <cstdio>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/messages.h"
#include "app/startup.h"
#include "app/startup_resources.h"

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const auto command_line = ot::parse_command_line(args);
  if (!command_line) {
    const ot::CommandLineStop& stop = command_line.error();
    if (stop.status == ot::kExitNormal) {
      ot::write_stdout(stop.text);
    } else {
      std::fwrite(stop.text.data(), 1, stop.text.size(), stderr);
    }
    return stop.status;
  }
  const ot::SettingsOverrides overrides{command_line->background, command_line->clouds,
                                        command_line->waves,      command_line->sounds,
                                        command_line->dedither,   command_line->soft_audio};
  ot::LoadedData data = ot::load_data(ot::ProgramKind::Console, ot::FatalStyle::Console);
  const ot::StartupData startup = ot::load_startup_resources(
      std::move(data), ot::ProgramKind::Console, ot::FatalStyle::Console, overrides, true);
  static_cast<void>(startup);
  return ot::kExitNormal;
}
