#include "tool/tool.h"

#include <cstdio>
#include <string>
#include <vector>

#include "app/messages.h"
#include "assets/archive.h"
#include "assets/data_files.h"
#include "assets/decompress.h"

namespace ot::tool {

namespace {

constexpr std::string_view kUsage =
    "Usage: open-tobelund-tool COMMAND ...\n"
    "\n"
    "Commands:\n"
    "  list DIR                          list the resources of DIR's archive with their chunks\n"
    "  chunk DIR NAME TAG [--decompress] write a chunk's payload (or its unpacked bytes) to\n"
    "                                    standard output\n"
    "\n"
    "DIR holds RESOURCE.MAP and RESOURCE.001 (names in any letter case).\n";

int usage_error() {
  std::fwrite(kUsage.data(), 1, kUsage.size(), stderr);
  return 2;
}

int fail(const DataError& error) {
  print_error(error.display_text());
  return 1;
}

Result<ResourceArchive> open_directory(std::string_view dir) {
  const std::filesystem::path path{std::string(dir)};
  auto map = read_data_file(path, kMapFile);
  if (!map) return std::unexpected(std::move(map.error()));
  auto data = read_data_file(path, kArchiveFile);
  if (!data) return std::unexpected(std::move(data.error()));
  return open_archive(*map, std::move(*data));
}

int list(std::string_view dir) {
  auto archive = open_directory(dir);
  if (!archive) return fail(archive.error());
  std::string out;
  for (const auto& [name, entry] : archive->index) {
    auto chunks = list_chunks(*archive, name);
    if (!chunks) return fail(chunks.error());
    out += name + "\t" + std::to_string(entry.size) + "\t";
    for (std::size_t i = 0; i < chunks->size(); ++i) {
      if (i > 0) out += ' ';
      out += (*chunks)[i].tag;
    }
    out += '\n';
  }
  write_stdout(out);
  return 0;
}

int chunk(std::string_view dir, std::string_view name, std::string_view tag, bool decompress) {
  auto archive = open_directory(dir);
  if (!archive) return fail(archive.error());
  auto chunks = read_chunks(*archive, name);
  if (!chunks) return fail(chunks.error());
  auto payload = get_chunk(*chunks, name, tag);
  if (!payload) return fail(payload.error());
  if (!decompress) {
    write_stdout(std::string_view(reinterpret_cast<const char*>(payload->data()), payload->size()));
    return 0;
  }
  auto bytes = decompress_chunk(*payload);
  if (!bytes) return fail(bytes.error());
  write_stdout(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
  return 0;
}

}  // namespace

int run(std::span<const std::string_view> args) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    write_stdout(kUsage);
    return 0;
  }
  if (args.size() == 2 && args[0] == "list") return list(args[1]);
  if (args.size() >= 4 && args[0] == "chunk") {
    const bool decompress = args.size() == 5 && args[4] == "--decompress";
    if (args.size() == 4 || decompress) return chunk(args[1], args[2], args[3], decompress);
  }
  return usage_error();
}

}  // namespace ot::tool
