// Subcommands over the resource archive: list, chunk, extract.
#include <filesystem>
#include <string>
#include <system_error>

#include "app/messages.h"
#include "assets/data_files.h"
#include "assets/decompress.h"
#include "assets/images.h"
#include "assets/text.h"
#include "present/png.h"
#include "tool/common.h"

namespace ot::tool {

namespace fs = std::filesystem;

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
  std::vector<std::uint8_t> unpacked;
  if (decompress) {
    auto bytes = decompress_chunk(*payload);
    if (!bytes) return fail(bytes.error());
    unpacked = std::move(*bytes);
    payload = unpacked;
  }
  write_stdout(std::string_view(reinterpret_cast<const char*>(payload->data()), payload->size()));
  return 0;
}

namespace {

std::vector<std::uint8_t> rgb_of(const Palette& palette, std::span<const std::uint8_t> indices) {
  std::vector<std::uint8_t> out;
  out.reserve(indices.size() * 3);
  for (const std::uint8_t p : indices) {
    const Colour c = palette.colours[p];
    out.insert(out.end(), {c.r, c.g, c.b});
  }
  return out;
}

// Index 0 is transparent: (0, 0, 0, 0).
std::vector<std::uint8_t> rgba_of(const Palette& palette, std::span<const std::uint8_t> indices) {
  std::vector<std::uint8_t> out;
  out.reserve(indices.size() * 4);
  for (const std::uint8_t p : indices) {
    const Colour c = palette.colours[p];
    if (p == 0) {
      out.insert(out.end(), {0, 0, 0, 0});
    } else {
      out.insert(out.end(), {c.r, c.g, c.b, 255});
    }
  }
  return out;
}

enum class Kind { Palette, Bitmap, Screen, Other };

Kind kind_of(std::string_view upper_name) {
  if (upper_name.ends_with(".PAL")) return Kind::Palette;
  if (upper_name.ends_with(".BMP")) return Kind::Bitmap;
  if (upper_name.ends_with(".SCR")) return Kind::Screen;
  return Kind::Other;
}

}  // namespace

int extract(std::string_view dir, std::string_view name, std::string_view out_dir) {
  auto archive = open_directory(dir);
  if (!archive) return fail(archive.error());
  if (auto chunks = read_chunks(*archive, name); !chunks) return fail(chunks.error());
  const std::string upper = ascii_upper(name);
  const Kind kind = kind_of(upper);
  if (kind == Kind::Other) return fail(std::string(name) + " is not a palette, bitmap or screen");

  const fs::path out{std::string(out_dir)};
  std::error_code ec;
  fs::create_directories(out, ec);
  if (ec) return fail("cannot create " + display_path(out) + ": " + ec.message());

  if (kind == Kind::Palette) {
    auto palette = load_palette(*archive, name);
    if (!palette) return fail(palette.error());
    std::vector<std::uint8_t> indices(256);
    for (std::size_t i = 0; i < 256; ++i) indices[i] = static_cast<std::uint8_t>(i);
    const auto png = encode_png(256, 1, PngColour::Rgb, rgb_of(*palette, indices));
    return write_output(out / (upper + ".png"), png) ? 0 : kFailed;
  }

  auto palette = load_palette(*archive, "ZEBOHUES.PAL");
  if (!palette) return fail(palette.error());
  if (kind == Kind::Screen) {
    auto screen = load_screen_image(*archive, name);
    if (!screen) return fail(screen.error());
    if (screen->pixels.empty()) {
      print_warning(upper + " has no pixels; nothing written");
      return 0;
    }
    const auto png = encode_png(static_cast<std::uint32_t>(screen->width),
                                static_cast<std::uint32_t>(screen->height), PngColour::Rgb,
                                rgb_of(*palette, screen->pixels));
    return write_output(out / (upper + ".png"), png) ? 0 : kFailed;
  }

  auto sheet = load_sprite_sheet(*archive, name);
  if (!sheet) return fail(sheet.error());
  for (std::size_t i = 0; i < sheet->frames.size(); ++i) {
    const Sprite& frame = sheet->frames[i];
    if (frame.pixels.empty()) {
      print_warning(upper + " frame " + std::to_string(i) + " has no pixels; not written");
      continue;
    }
    const auto png = encode_png(static_cast<std::uint32_t>(frame.width),
                                static_cast<std::uint32_t>(frame.height), PngColour::Rgba,
                                rgba_of(*palette, frame.pixels));
    if (!write_output(out / (upper + "-" + std::to_string(i) + ".png"), png)) return kFailed;
  }
  return 0;
}

}  // namespace ot::tool
