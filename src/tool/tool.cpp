#include "tool/tool.h"

#include <cerrno>
#include <cstdio>
#include <fstream>

#include "app/messages.h"
#include "assets/data_files.h"
#include "tool/common.h"

namespace ot::tool {

namespace {

constexpr std::string_view kUsage =
    "Usage: open-tobelund-tool COMMAND ...\n"
    "\n"
    "Commands:\n"
    "  list DIR                           list the archive's resources with their chunks\n"
    "  chunk DIR NAME TAG [--decompress]  write a chunk's payload (or its unpacked bytes) to\n"
    "                                     standard output\n"
    "  extract DIR NAME OUTDIR            write a palette, bitmap or screen as PNG files\n"
    "  exe DIR                            print the tables of TOBELUND.SCR as JSON\n"
    "  sound DIR NUMBER OUT.wav           write a sound of TOBELUND.SCR as a WAVE file\n"
    "  present DIR LAYER W H OUT.png [--dedither]\n"
    "                                     show a 640 x 480 layer file (palette indices) as a\n"
    "                                     W x H window would, as a PNG\n"
    "  disasm DIR NAME                    print a TTM or ADS script in the assembler's syntax\n"
    "\n"
    "DIR holds the data files (names in any letter case).\n";

int usage_error() {
  std::fwrite(kUsage.data(), 1, kUsage.size(), stderr);
  return 2;
}

}  // namespace

int fail(const DataError& error) {
  return fail(error.display_text());
}

int fail(std::string_view text) {
  print_error(text);
  return kFailed;
}

Result<ResourceArchive> open_directory(std::string_view dir) {
  const std::filesystem::path path{std::string(dir)};
  auto map = read_data_file(path, kMapFile);
  if (!map) return std::unexpected(std::move(map.error()));
  auto data = read_data_file(path, kArchiveFile);
  if (!data) return std::unexpected(std::move(data.error()));
  return open_archive(*map, std::move(*data));
}

bool write_output(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out)
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  if (out) out.close();
  if (!out) {
    const int code = errno != 0 ? errno : EIO;
    fail("cannot write " + display_path(path) + ": " + std::generic_category().message(code));
    return false;
  }
  return true;
}

int run(std::span<const std::string_view> args) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    write_stdout(kUsage);
    return 0;
  }
  const std::string_view command = args.empty() ? "" : args[0];
  const std::size_t n = args.size();
  if (command == "list" && n == 2) return list(args[1]);
  if (command == "chunk" && (n == 4 || (n == 5 && args[4] == "--decompress"))) {
    return chunk(args[1], args[2], args[3], n == 5);
  }
  if (command == "extract" && n == 4) return extract(args[1], args[2], args[3]);
  if (command == "exe" && n == 2) return exe(args[1]);
  if (command == "sound" && n == 4) return sound(args[1], args[2], args[3]);
  if (command == "disasm" && n == 3) return disasm(args[1], args[2]);
  if (command == "present" && (n == 6 || (n == 7 && args[6] == "--dedither"))) {
    if (const int status = present(args.subspan(1)); status != kBadUsage) return status;
  }
  return usage_error();
}

}  // namespace ot::tool
