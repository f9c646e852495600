#include "assets/archive.h"

#include "assets/text.h"

namespace ot {

namespace {

constexpr std::size_t kNameField = 13;
constexpr std::size_t kRecordHeader = 17;

}  // namespace

Result<ResourceArchive> open_archive(Bytes map, std::vector<std::uint8_t> data) {
  if (map.size() <= 20) return invalid("RESOURCE.MAP too small");
  ResourceArchive archive;
  archive.bytes = std::move(data);
  const Bytes bytes(archive.bytes);
  const std::uint16_t count = *peek_le<std::uint16_t>(map, 19);
  for (std::size_t i = 0; i < count; ++i) {
    auto offset = read_le<std::uint32_t>(map, 25 + 8 * i);
    if (!offset) return std::unexpected(std::move(offset.error()));
    const std::size_t o = *offset;
    if (o + kRecordHeader > bytes.size()) return invalid("RESOURCE.MAP entry out of range");
    std::size_t name_length = 0;
    while (name_length < kNameField && bytes[o + name_length] != 0) ++name_length;
    std::string name = ascii_upper(to_text(bytes.subspan(o, name_length)));
    const std::size_t size = *peek_le<std::uint32_t>(bytes, o + kNameField);
    if (o + kRecordHeader + size > bytes.size()) return invalid(name + ": data out of range");
    archive.index.insert_or_assign(std::move(name), ResourceEntry{o + kRecordHeader, size});
  }
  return archive;
}

namespace {

// Walks the chunk stream of resource `name`, calling `visit` for each ordinary chunk.
template <class Visit>
Result<void> walk_chunks(const ResourceArchive& archive, std::string_view name, Visit visit) {
  const auto it = archive.index.find(ascii_upper(name));
  if (it == archive.index.end() || it->second.offset > archive.bytes.size() ||
      archive.bytes.size() - it->second.offset < it->second.size) {
    return missing(std::string(name));
  }
  const Bytes data = Bytes(archive.bytes).subspan(it->second.offset, it->second.size);
  std::size_t p = 0;
  while (data.size() - p >= 8) {
    std::string tag = to_text(data.subspan(p, 4));
    const std::int32_t w = *peek_le<std::int32_t>(data, p + 4);
    if (w < 0) {  // container chunk: its contents follow as chunks of this resource
      p += 8;
      continue;
    }
    const std::size_t length = static_cast<std::size_t>(w);
    if (length > data.size() - p - 8) {
      return invalid(std::string(name) + ": bad chunk " + tag);
    }
    visit(Chunk{std::move(tag), data.subspan(p + 8, length)});
    p += 8 + length;
  }
  return {};
}

}  // namespace

const Chunk* ChunkMap::find(std::string_view tag) const {
  for (const Chunk& chunk : chunks) {
    if (chunk.tag == tag) return &chunk;
  }
  return nullptr;
}

Result<std::vector<Chunk>> list_chunks(const ResourceArchive& archive, std::string_view name) {
  std::vector<Chunk> chunks;
  auto walked =
      walk_chunks(archive, name, [&](Chunk chunk) { chunks.push_back(std::move(chunk)); });
  if (!walked) return std::unexpected(std::move(walked.error()));
  return chunks;
}

Result<ChunkMap> read_chunks(const ResourceArchive& archive, std::string_view name) {
  ChunkMap map;
  auto walked = walk_chunks(archive, name, [&](Chunk chunk) {
    for (Chunk& existing : map.chunks) {
      if (existing.tag == chunk.tag) {
        existing.payload = chunk.payload;
        return;
      }
    }
    map.chunks.push_back(std::move(chunk));
  });
  if (!walked) return std::unexpected(std::move(walked.error()));
  return map;
}

Result<Bytes> get_chunk(const ChunkMap& chunks, std::string_view name, std::string_view tag) {
  if (const Chunk* chunk = chunks.find(tag); chunk != nullptr && tag.size() == 4) {
    return chunk->payload;
  }
  return invalid(std::string(name) + ": missing " + std::string(tag) + " chunk");
}

}  // namespace ot
