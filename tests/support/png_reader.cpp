#include "support/png_reader.h"

#include <png.h>

#include <cstring>

namespace ot::test {

std::optional<DecodedPng> decode_png(std::span<const std::uint8_t> file) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return std::nullopt;
  DecodedPng out;
  out.width = image.width;
  out.height = image.height;
  out.has_alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  image.format = PNG_FORMAT_RGBA;
  out.rgba.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) {
    png_image_free(&image);
    return std::nullopt;
  }
  return out;
}

}  // namespace ot::test
