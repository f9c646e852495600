// The present subcommand: a layer file through the presenter into a window-sized PNG.
#include <charconv>
#include <fstream>
#include <optional>
#include <string>

#include "assets/data_files.h"
#include "assets/images.h"
#include "present/png.h"
#include "present/present.h"
#include "tool/common.h"

namespace ot::tool {

namespace {

constexpr int kMaxWindowSide = 16384;

std::optional<int> window_side(std::string_view text) {
  int v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < 1 || v > kMaxWindowSide)
    return std::nullopt;
  return v;
}

}  // namespace

int present(std::span<const std::string_view> args) {
  // args: DIR LAYER W H OUT.png [--dedither]
  const auto width = window_side(args[2]);
  const auto height = window_side(args[3]);
  if (!width || !height) return kBadUsage;
  const bool dedither = args.size() == 6;

  const std::filesystem::path layer_path{std::string(args[1])};
  std::ifstream in(layer_path, std::ios::binary);
  if (!in) return fail("cannot read " + display_path(layer_path));
  // One byte more than a layer holds tells a longer file.
  std::vector<std::uint8_t> layer(kFramePixels + 1);
  in.read(reinterpret_cast<char*>(layer.data()), static_cast<std::streamsize>(layer.size()));
  layer.resize(static_cast<std::size_t>(in.gcount()));
  if (layer.size() != kFramePixels)
    return fail(display_path(layer_path) + " is not a 640 \xC3\x97 480 layer");

  auto archive = open_directory(args[0]);
  if (!archive) return fail(archive.error());
  auto palette = load_palette(*archive, "ZEBOHUES.PAL");
  if (!palette) return fail(palette.error());

  Presenter presenter;
  std::vector<std::uint32_t> image(kFramePixels);
  presenter.to_colour(layer, *palette, dedither, image);
  std::vector<std::uint32_t> window(static_cast<std::size_t>(*width) *
                                    static_cast<std::size_t>(*height));
  presenter.scale_into(image, window, *width, *height);

  std::vector<std::uint8_t> rgb;
  rgb.reserve(window.size() * 3);
  for (const std::uint32_t p : window) {
    rgb.insert(rgb.end(), {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                           static_cast<std::uint8_t>(p)});
  }
  const auto png = encode_png(static_cast<std::uint32_t>(*width),
                              static_cast<std::uint32_t>(*height), PngColour::Rgb, rgb);
  return write_output(std::filesystem::path(std::string(args[4])), png) ? 0 : kFailed;
}

}  // namespace ot::tool
