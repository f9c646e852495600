// The resource archive: RESOURCE.MAP's index over RESOURCE.001's tagged chunk streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "assets/bytes.h"
#include "assets/data_error.h"

namespace ot {

struct ResourceEntry {
  std::size_t offset = 0;  // of the resource data within RESOURCE.001
  std::size_t size = 0;
};

struct ResourceArchive {
  std::vector<std::uint8_t> bytes;  // RESOURCE.001, owned; never changes after opening
  std::map<std::string, ResourceEntry, std::less<>> index;  // upper-cased name -> entry
};

// One ordinary chunk; the payload is a view into the archive's bytes.
struct Chunk {
  std::string tag;
  Bytes payload;
};

// Tag -> payload of one resource; a repeated tag keeps the last payload.
struct ChunkMap {
  std::vector<Chunk> chunks;
  const Chunk* find(std::string_view tag) const;
};

Result<ResourceArchive> open_archive(Bytes map, std::vector<std::uint8_t> data);

// The ordinary chunks of a resource in stream order (container chunks are not listed).
Result<std::vector<Chunk>> list_chunks(const ResourceArchive& archive, std::string_view name);

Result<ChunkMap> read_chunks(const ResourceArchive& archive, std::string_view name);

Result<Bytes> get_chunk(const ChunkMap& chunks, std::string_view name, std::string_view tag);

}  // namespace ot
