#include "app/startup.h"

#include <cstdlib>
#include <system_error>

#include "app/messages.h"
#include "platform/error_box.h"

namespace ot {

namespace fs = std::filesystem;

std::expected<LoadedData, LoadFailure> try_load_data(std::span<const fs::path> candidates) {
  auto files = load_data_files(candidates);
  if (!files) return std::unexpected(LoadFailure{std::move(files.error()), true});
  auto archive = open_archive(files->files.map, std::move(files->files.archive));
  files->files.map = {};
  if (!archive) return std::unexpected(LoadFailure{std::move(archive.error()), false});
  return LoadedData{std::move(files->data_directory), std::move(*archive),
                    std::move(files->files.executable)};
}

LoadedData load_data(ProgramKind program, FatalStyle style) {
  const std::vector<fs::path> candidates = candidate_directories(program);
  auto loaded = try_load_data(candidates);
  if (!loaded) fail_startup(style, loaded.error().error, loaded.error().from_data_files);
  return std::move(*loaded);
}

std::string error_box_text(const DataError& error, bool from_data_files) {
  std::string text = error.display_text();
  if (!from_data_files || error.kind != DataErrorKind::Missing) return text;
#ifdef _WIN32
  const wchar_t* appdata = _wgetenv(L"APPDATA");
#else
  const char* appdata = std::getenv("APPDATA");
#endif
  if (appdata == nullptr) return text;
  const fs::path folder = fs::path(appdata) / "OpenTobelund";
  std::error_code ec;
  fs::create_directories(folder, ec);  // advice only: a failure here changes nothing
  return text +
         "\n\nCopy TOBELUND.SCR, RESOURCE.MAP and RESOURCE.001 of the original screensaver to:\n" +
         display_path(folder);
}

namespace {

[[noreturn]] void end_with_startup_error(FatalStyle style, std::string_view console_text,
                                         const std::string& box_text) {
  switch (style) {
    case FatalStyle::Console:
      print_error(console_text);
      break;
    case FatalStyle::MessageBox:
      platform::show_error_box(box_text);
      break;
    case FatalStyle::Silent:
      break;
  }
  std::exit(kExitStartupError);
}

}  // namespace

void fail_startup(FatalStyle style, const DataError& error, bool from_data_files) {
  const std::string box =
      style == FatalStyle::MessageBox ? error_box_text(error, from_data_files) : "";
  end_with_startup_error(style, error.display_text(), box);
}

void fail_startup(FatalStyle style, std::string_view display_text) {
  end_with_startup_error(style, display_text, std::string(display_text));
}

}  // namespace ot
