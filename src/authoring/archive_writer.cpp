#include "authoring/archive_writer.h"

#include "authoring/byte_writer.h"

namespace ot::authoring {

std::vector<std::uint8_t> chunk(std::string_view tag, std::span<const std::uint8_t> payload) {
  ByteWriter w;
  w.fixed_text(tag, 4).u32(static_cast<std::uint32_t>(payload.size())).bytes(payload);
  return w.take();
}

std::vector<std::uint8_t> container_chunk(std::string_view tag,
                                          std::span<const std::uint8_t> contents) {
  ByteWriter w;
  w.fixed_text(tag, 4)
      .u32(0x80000000u | static_cast<std::uint32_t>(contents.size()))
      .bytes(contents);
  return w.take();
}

std::vector<std::uint8_t> concat(std::initializer_list<std::span<const std::uint8_t>> parts) {
  ByteWriter w;
  for (auto part : parts) w.bytes(part);
  return w.take();
}

ArchiveFiles write_archive(std::span<const ArchiveResource> resources, std::size_t min_data_size) {
  ByteWriter map;
  ByteWriter data;
  map.fixed_text("OPEN TOBELUND", 19).u16(static_cast<std::uint32_t>(resources.size()));
  for (const ArchiveResource& r : resources) {
    map.u32(static_cast<std::uint32_t>(r.data.size())).u32(static_cast<std::uint32_t>(data.size()));
    data.fixed_text(r.name, 13).u32(static_cast<std::uint32_t>(r.data.size())).bytes(r.data);
  }
  if (data.size() < min_data_size) data.zeros(min_data_size - data.size());
  return {map.take(), data.take()};
}

}  // namespace ot::authoring
