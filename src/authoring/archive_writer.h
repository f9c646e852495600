// Writing RESOURCE.MAP and RESOURCE.001 from named resources made of tagged chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ot::authoring {

// One chunk: tag (four characters such as "BIN:") and payload.
std::vector<std::uint8_t> chunk(std::string_view tag, std::span<const std::uint8_t> payload);

// A container chunk: its size word has bit 31 set, and `contents` (chunks) follow it.
std::vector<std::uint8_t> container_chunk(std::string_view tag,
                                          std::span<const std::uint8_t> contents);

// Chunks laid end to end.
std::vector<std::uint8_t> concat(std::initializer_list<std::span<const std::uint8_t>> parts);

struct ArchiveResource {
  std::string name;                // at most 13 bytes are stored
  std::vector<std::uint8_t> data;  // the chunk stream
};

struct ArchiveFiles {
  std::vector<std::uint8_t> map;   // RESOURCE.MAP
  std::vector<std::uint8_t> data;  // RESOURCE.001
};

// RESOURCE.001 is padded with zeros to `min_data_size` bytes (the player refuses a smaller file
// as the installer's placeholder).
ArchiveFiles write_archive(std::span<const ArchiveResource> resources,
                           std::size_t min_data_size = 1024);

}  // namespace ot::authoring
