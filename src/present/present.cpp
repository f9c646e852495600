#include "present/present.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <initializer_list>

namespace ot {

namespace {

// Pixels are blended as bytes: blue first in memory, the top byte last.
static_assert(std::endian::native == std::endian::little);

constexpr std::size_t kWidth = kFrameWidth;
constexpr std::size_t kHeight = kFrameHeight;

std::array<std::uint32_t, 256> make_lookup(const Palette& palette) {
  std::array<std::uint32_t, 256> lut{};
  for (std::size_t i = 0; i < 256; ++i) {
    const Colour c = palette.colours[i];
    lut[i] = std::uint32_t{c.r} << 16 | std::uint32_t{c.g} << 8 | c.b;
  }
  return lut;
}

// Each channel the mean of the two, rounded up.
std::uint32_t average(Colour a, Colour b) {
  const auto mean = [](std::uint32_t x, std::uint32_t y) { return ((x + y) >> 1) + ((x + y) & 1); };
  return mean(a.r, b.r) << 16 | mean(a.g, b.g) << 8 | mean(a.b, b.b);
}

// Pairing marks are one byte per pixel, the partner's index; an unpaired pixel is its own
// partner. No pairing ever joins two pixels of one index (a square or a stretch always alternates
// between two different ones), so "own partner" safely means "unpaired", and since the pair
// (a, a) has a's colour, the output needs no test either.

// First writer wins.
inline void pair_with(std::uint8_t& partner, std::uint8_t own, std::uint8_t with) {
  if (partner == own) partner = with;
}

// The same without branches, for the loops that run on vectors: mask is all ones or zero.
inline std::uint8_t paired(std::uint8_t partner, std::uint8_t own, std::uint8_t with,
                           std::uint8_t mask) {
  const auto take = static_cast<std::uint8_t>(mask & -(partner == own));
  return static_cast<std::uint8_t>((with & take) | (partner & ~take));
}

inline std::uint8_t all_ones_if(bool b) {
  return static_cast<std::uint8_t>(-static_cast<int>(b));
}

// 2 x 2 checkerboard squares a b over b a, taken row by row and left to right; this also leaves
// every pixel unpaired first. A pixel in the top row of a square is paired with its neighbour
// inside the square (two squares side by side that hold it name the same one), unless a square of
// the row above has paired it already. Both squares that can hold a pixel of the bottom row pair
// it with the pixel above, and nothing has touched that row yet.
void pair_squares(const std::uint8_t* in, std::uint8_t* partner, std::uint8_t* square) {
  std::memcpy(partner, in, kWidth);
  square[0] = 0;
  square[kWidth] = 0;
  for (std::size_t y = 0; y + 1 < kHeight; ++y) {
    const std::uint8_t* r0 = in + y * kWidth;
    const std::uint8_t* r1 = r0 + kWidth;
    std::uint8_t* p0 = partner + y * kWidth;
    std::uint8_t* p1 = p0 + kWidth;
    // square[x + 1]: all ones for a square with its top-left corner at (x, y).
    for (std::size_t x = 0; x + 1 < kWidth; ++x) {
      const std::uint8_t a = r0[x], b = r0[x + 1];
      square[x + 1] = all_ones_if((a != b) & (r1[x] == b) & (r1[x + 1] == a));
    }
    // The two ends have no outer neighbour, and their outer squares are always clear.
    const auto pair_pixel = [&](std::size_t x, std::uint8_t left_partner,
                                std::uint8_t right_partner) {
      const std::uint8_t left = square[x];
      const auto any = static_cast<std::uint8_t>(left | square[x + 1]);
      const auto with = static_cast<std::uint8_t>((left_partner & left) | (right_partner & ~left));
      p0[x] = paired(p0[x], r0[x], with, any);
      p1[x] = static_cast<std::uint8_t>((r0[x] & any) | (r1[x] & ~any));
    };
    pair_pixel(0, 0, r0[1]);
    for (std::size_t x = 1; x + 1 < kWidth; ++x) pair_pixel(x, r0[x - 1], r0[x + 1]);
    pair_pixel(kWidth - 1, r0[kWidth - 2], 0);
  }
}

// Stretches of two alternating indices, along `lines` parallel lines of n pixels that are all
// stepped together, so that the work runs along rows of memory: pixel i of line l is
// data[i * lines + l], and its partner partner[i * lines + l].
//
// A stretch goes on while each pixel differs from the one before and equals the one two before.
// When it breaks off at pixel i, the next one starts at pixel i - 1. An end of a stretch that
// belongs to a flat pair is dropped, and what remains is paired if it holds four pixels or more:
// the first with the pixel after it, the others with the pixel before.
//
// Pixel i - 1 is decided at step i: it belongs to what remains of its stretch unless pixel i
// equals it, and the stretch is long enough once it has reached four pixels, whatever comes
// later. So every step pairs pixel i - 1 of each line whose stretch has four or more pixels; a
// stretch that has just reached four also pairs the three before (its catch-up), which is rare
// and done one line at a time. A stretch's pixels are paired before any of the next one's.
//
// count[l] is the length of what remains of line l's current stretch up to pixel i - 1, held at
// 5 once past 4.
void sweep_step(const std::uint8_t* __restrict c, const std::uint8_t* __restrict a,
                const std::uint8_t* __restrict b, std::uint8_t* __restrict partner_a,
                std::uint8_t* __restrict count, std::uint8_t* __restrict catch_up,
                std::size_t lines) {
  for (std::size_t l = 0; l < lines; ++l) {
    const std::uint8_t flat = all_ones_if(c[l] == a[l]);
    const auto breaks = static_cast<std::uint8_t>(flat | all_ones_if(c[l] != b[l]));
    const std::uint8_t len = count[l];
    partner_a[l] = paired(partner_a[l], a[l], b[l], all_ones_if(len >= 4) & ~flat);
    catch_up[l] = all_ones_if(len == 4) & ~flat;
    const auto restart = static_cast<std::uint8_t>(a[l] == b[l] ? 1 : 2);
    const auto grown = static_cast<std::uint8_t>(len + (len < 5 ? 1 : 0));
    count[l] = static_cast<std::uint8_t>((restart & breaks) | (grown & ~breaks));
  }
}

// The last step: every stretch ends with the line.
void sweep_end(const std::uint8_t* __restrict a, const std::uint8_t* __restrict b,
               std::uint8_t* __restrict partner_a, const std::uint8_t* __restrict count,
               std::uint8_t* __restrict catch_up, std::size_t lines) {
  for (std::size_t l = 0; l < lines; ++l) {
    partner_a[l] = paired(partner_a[l], a[l], b[l], all_ones_if(count[l] >= 4));
    catch_up[l] = all_ones_if(count[l] == 4);
  }
}

void sweep_runs(const std::uint8_t* data, std::uint8_t* partner, std::size_t lines, std::size_t n,
                std::uint8_t* count, std::uint8_t* catch_up) {
  // At pixel 1 a stretch can only break off after one pixel, and the next starts at 0 again.
  std::fill_n(count, lines, std::uint8_t{2});
  for (std::size_t i = 2; i <= n; ++i) {
    const std::uint8_t* a = data + (i - 1) * lines;
    if (i < n) {
      sweep_step(a + lines, a, a - lines, partner + (i - 1) * lines, count, catch_up, lines);
    } else {
      sweep_end(a, a - lines, partner + (i - 1) * lines, count, catch_up, lines);
    }
    for (std::size_t l0 = 0; l0 < lines; l0 += 8) {
      std::uint64_t any = 0;
      std::memcpy(&any, catch_up + l0, sizeof any);
      if (any == 0) continue;
      for (std::size_t l = l0; l < l0 + 8; ++l) {
        if (catch_up[l] == 0) continue;
        // The stretch's first pixel is i - 4 (a count of 4 needs i >= 4).
        const std::size_t p = (i - 4) * lines + l, q = p + lines, r = q + lines;
        pair_with(partner[p], data[p], data[q]);
        pair_with(partner[q], data[q], data[p]);
        pair_with(partner[r], data[r], data[q]);
      }
    }
  }
}

// out[x * rows + y] = in[y * cols + x], eight by eight bytes; rows and cols are multiples of 8.
void transpose(const std::uint8_t* in, std::size_t rows, std::size_t cols, std::uint8_t* out) {
  for (std::size_t y0 = 0; y0 < rows; y0 += 8) {
    for (std::size_t x0 = 0; x0 < cols; x0 += 8) {
      std::array<std::uint64_t, 8> r{};
      for (std::size_t k = 0; k < 8; ++k) std::memcpy(&r[k], in + (y0 + k) * cols + x0, 8);
      // Swap the off-diagonal blocks of 4, then of 2, then of 1 (little-endian byte order).
      const auto swap = [&r](std::size_t i, std::size_t j, unsigned shift, std::uint64_t mask) {
        const std::uint64_t t = ((r[i] >> shift) ^ r[j]) & mask;
        r[i] ^= t << shift;
        r[j] ^= t;
      };
      for (std::size_t k = 0; k < 4; ++k) swap(k, k + 4, 32, 0x00000000FFFFFFFFull);
      for (const std::size_t k : {0u, 1u, 4u, 5u}) swap(k, k + 2, 16, 0x0000FFFF0000FFFFull);
      for (const std::size_t k : {0u, 2u, 4u, 6u}) swap(k, k + 1, 8, 0x00FF00FF00FF00FFull);
      for (std::size_t k = 0; k < 8; ++k) std::memcpy(out + (x0 + k) * rows + y0, &r[k], 8);
    }
  }
}

// Picture extent along one axis: truncated towards zero, never negative, never past the window.
std::size_t extent(double scaled, std::size_t window) {
  if (!(scaled >= 1.0)) return 0;  // also catches NaN
  if (scaled >= static_cast<double>(window)) return window;
  return static_cast<std::size_t>(scaled);
}

}  // namespace

struct PresentScratch {
  struct PairEntry {
    std::uint32_t colour = 0;
    std::uint32_t stamp = 0;  // the call that filled it; 0 never matches
  };

  // Where an output column (or row) samples the frame: source t, softened towards u by w.
  struct Sample {
    std::uint32_t t = 0;
    std::uint32_t u = 0;
    std::uint32_t w = 0;
  };

  // Dedither: the partners, the frame and its partners turned on their side, the per-line state
  // of the run sweeps, one row of square flags, and the pair colours of the current call.
  std::vector<std::uint8_t> partner;
  std::vector<std::uint8_t> turned;
  std::vector<std::uint8_t> turned_partner;
  std::array<std::uint8_t, kWidth> count{};
  std::array<std::uint8_t, kWidth> catch_up{};
  std::array<std::uint8_t, kWidth + 1> square{};
  std::vector<PairEntry> pairs;
  std::uint32_t generation = 0;

  // Output columns in order, each run taking one pixel of the row being scaled, where the
  // blended pixels follow the 640 source pixels.
  struct Run {
    std::uint32_t from = 0;
    std::uint32_t count = 0;
  };

  // Scaling: the column runs; for each blended column the two source pixels and the weights,
  // byte by byte; room for the row being scaled and the pixels to blend; the row table; and three
  // horizontally scaled source rows.
  std::vector<Run> runs;
  std::vector<std::uint32_t> blend_t, blend_u;
  std::vector<std::uint16_t> blend_keep, blend_take;
  std::vector<std::uint32_t> row_in, blend_p, blend_q;
  std::vector<std::uint8_t> colour_bytes;  // 0xFF for blue, green and red, 0 for the top byte
  std::vector<Sample> rows;
  std::vector<std::uint32_t> cache;
  std::array<std::size_t, 3> cache_row{};
  // A copy of this size is left to the library, whose copy beats the one compilers put in line
  // for a size known in advance.
  std::size_t source_row_bytes = kWidth * sizeof(std::uint32_t);
  std::size_t cache_next = 0;
};

namespace {

using Sample = PresentScratch::Sample;
using PairEntry = PresentScratch::PairEntry;

constexpr std::size_t kNoRow = static_cast<std::size_t>(-1);

// The sampling table of one axis: `size` source pixels, `count` output pixels, scale s.
void build_samples(double s, std::size_t size, std::size_t count, auto&& put) {
  const double last = static_cast<double>(size - 1);
  for (std::size_t i = 0; i < count; ++i) {
    const double o = (static_cast<double>(i) + 0.5) / s;
    double t = std::trunc(o);
    if (!(t > 0.0)) t = 0.0;
    double u = 0.0;
    double distance = 0.0;
    if (t < last) {
      const double f = o - t;
      if (f < 0.5) {
        u = t == 0.0 ? 0.0 : t - 1.0;
        distance = f;
      } else {
        u = t + 1.0;
        distance = 1.0 - f;
      }
    } else {
      t = last;
      const double f = o - last;
      if (f < 0.5) {
        u = last - 1.0;
        distance = f;
      } else {
        u = last;
        distance = 1.0 - f;
      }
    }
    const double w = std::clamp(0.5 - distance * s, 0.0, 0.5) * 256.0;
    put(i, Sample{static_cast<std::uint32_t>(t), static_cast<std::uint32_t>(u),
                  static_cast<std::uint32_t>(w)});
  }
}

// Byte by byte, out = (p * keep + q * take) >> 8. With keep + take = 256 nothing overflows 16 bits,
// and run over whole pixels this is exactly the blend, the red, green and blue bytes each on
// their own; plain byte loops like these run on vectors.
void mix_bytes(std::uint8_t* __restrict out, const std::uint8_t* __restrict p,
               const std::uint8_t* __restrict q, const std::uint16_t* __restrict keep,
               const std::uint16_t* __restrict take, std::size_t n) {
  for (std::size_t j = 0; j < n; ++j) {
    out[j] =
        static_cast<std::uint8_t>(static_cast<std::uint16_t>(p[j] * keep[j] + q[j] * take[j]) >> 8);
  }
}

// The same with one pair of weights for a whole row, each result byte then masked (to clear the
// top bytes).
void mix_bytes(std::uint8_t* __restrict out, const std::uint8_t* __restrict p,
               const std::uint8_t* __restrict q, std::uint16_t keep, std::uint16_t take,
               const std::uint8_t* __restrict mask, std::size_t n) {
  for (std::size_t j = 0; j < n; ++j) {
    out[j] = static_cast<std::uint8_t>(
        (static_cast<std::uint16_t>(p[j] * keep + q[j] * take) >> 8) & mask[j]);
  }
}

std::uint8_t* bytes(std::uint32_t* p) {
  return reinterpret_cast<std::uint8_t*>(p);
}
const std::uint8_t* bytes(const std::uint32_t* p) {
  return reinterpret_cast<const std::uint8_t*>(p);
}

// Writing a run four pixels at a time may run up to three pixels past it: the next run, or the
// padding at the end of a cache row, takes them.
constexpr std::size_t kRunPad = 3;

// One source row scaled across: the blended columns (at most one per pair of neighbouring source
// pixels) are gathered and mixed on vectors after a copy of the row, then the row is written out
// in runs.
void scale_row(PresentScratch& sc, const std::uint32_t* src, std::uint32_t* dst) {
  std::uint32_t* in = sc.row_in.data();
  std::memcpy(in, src, sc.source_row_bytes);
  const std::size_t blended = sc.blend_t.size();
  if (blended > 0) {
    const std::uint32_t* bt = sc.blend_t.data();
    const std::uint32_t* bu = sc.blend_u.data();
    std::uint32_t* p = sc.blend_p.data();
    std::uint32_t* q = sc.blend_q.data();
    for (std::size_t k = 0; k < blended; ++k) {
      p[k] = src[bt[k]];
      q[k] = src[bu[k]];
    }
    mix_bytes(bytes(in + kWidth), bytes(p), bytes(q), sc.blend_keep.data(), sc.blend_take.data(),
              4 * blended);
  }
  // Runs are rarely longer than four pixels: the first four are written without a test.
  const auto put4 = [](std::uint32_t* d, std::uint32_t v) {
    d[0] = v;
    d[1] = v;
    d[2] = v;
    d[3] = v;
  };
  for (const PresentScratch::Run run : sc.runs) {
    const std::uint32_t v = in[run.from];
    put4(dst, v);
    for (std::size_t k = 4; k < run.count; k += 4) put4(dst + k, v);
    dst += run.count;
  }
}

}  // namespace

Presenter::Presenter() : scratch_(std::make_unique<PresentScratch>()) {}
Presenter::~Presenter() = default;
Presenter::Presenter(Presenter&&) noexcept = default;
Presenter& Presenter::operator=(Presenter&&) noexcept = default;

PresentScratch& Presenter::scratch() {
  if (!scratch_) scratch_ = std::make_unique<PresentScratch>();  // a moved-from presenter
  return *scratch_;
}

void Presenter::to_colour(std::span<const std::uint8_t> layer, const Palette& palette,
                          bool dedither, std::span<std::uint32_t> image) {
  if (layer.size() < kFramePixels || image.size() < kFramePixels) {
    std::fill(image.begin(), image.end(), 0u);
    return;
  }
  const std::uint8_t* in = layer.data();
  std::uint32_t* out = image.data();
  if (!dedither) {
    const auto lut = make_lookup(palette);
    for (std::size_t i = 0; i < kFramePixels; ++i) out[i] = lut[in[i]];
    return;
  }

  PresentScratch& sc = scratch();
  if (sc.partner.size() != kFramePixels) {
    sc.partner.resize(kFramePixels);
    sc.turned.resize(kFramePixels);
    sc.turned_partner.resize(kFramePixels);
    sc.pairs.assign(256 * 256, PairEntry{});
    sc.generation = 0;
  }
  if (++sc.generation == 0) {  // stamps wrapped: forget them all once
    std::fill(sc.pairs.begin(), sc.pairs.end(), PairEntry{});
    sc.generation = 1;
  }
  std::uint8_t* partner = sc.partner.data();

  pair_squares(in, partner, sc.square.data());
  // Along the rows: the frame turned on its side, so that rows become lines of memory lanes.
  transpose(in, kHeight, kWidth, sc.turned.data());
  transpose(partner, kHeight, kWidth, sc.turned_partner.data());
  sweep_runs(sc.turned.data(), sc.turned_partner.data(), kHeight, kWidth, sc.count.data(),
             sc.catch_up.data());
  transpose(sc.turned_partner.data(), kWidth, kHeight, partner);
  // Down the columns.
  sweep_runs(in, partner, kWidth, kHeight, sc.count.data(), sc.catch_up.data());

  PairEntry* pairs = sc.pairs.data();
  const std::uint32_t generation = sc.generation;
  for (std::size_t i = 0; i < kFramePixels; ++i) {
    const std::size_t key = std::size_t{in[i]} << 8 | partner[i];
    PairEntry& e = pairs[key];
    if (e.stamp != generation) {
      e.colour = average(palette.colours[in[i]], palette.colours[partner[i]]);
      e.stamp = generation;
    }
    out[i] = e.colour;
  }
}

void Presenter::scale_into(std::span<const std::uint32_t> image, std::span<std::uint32_t> window,
                           int width, int height) {
  // No sensible geometry: black out whatever buffer there is and draw nothing.
  if (width <= 0 || height <= 0 || image.size() < kFramePixels ||
      window.size() / static_cast<std::size_t>(width) < static_cast<std::size_t>(height)) {
    std::fill(window.begin(), window.end(), 0u);
    return;
  }
  const std::size_t ww = static_cast<std::size_t>(width);
  const std::size_t wh = static_cast<std::size_t>(height);
  std::uint32_t* out = window.data();

  const double sx = width / 640.0;
  const double sy = height / 480.0;
  const double s = std::isnan(sy) ? sx : std::min(sx, sy);
  const std::size_t sw = extent(640.0 * s, ww);
  const std::size_t sh = extent(480.0 * s, wh);
  if (sw == 0 || sh == 0) {
    std::fill(out, out + ww * wh, 0u);
    return;
  }
  const std::size_t top = (wh - sh) >> 1;
  const std::size_t left = (ww - sw) >> 1;

  PresentScratch& sc = scratch();
  sc.runs.clear();
  sc.blend_t.clear();
  sc.blend_u.clear();
  sc.blend_keep.clear();
  sc.blend_take.clear();
  sc.rows.resize(sh);
  build_samples(s, kWidth, sw, [&sc](std::size_t, Sample x) {
    std::uint32_t from = x.t;
    if (x.w != 0) {
      from = static_cast<std::uint32_t>(kWidth + sc.blend_t.size());
      sc.blend_t.push_back(x.t);
      sc.blend_u.push_back(x.u);
      // Blue, green, red, and 0 for the top byte, which the blend clears.
      const auto keep = static_cast<std::uint16_t>(256 - x.w);
      const auto take = static_cast<std::uint16_t>(x.w);
      sc.blend_keep.insert(sc.blend_keep.end(), {keep, keep, keep, 0});
      sc.blend_take.insert(sc.blend_take.end(), {take, take, take, 0});
    }
    if (!sc.runs.empty() && sc.runs.back().from == from) {
      ++sc.runs.back().count;
    } else {
      sc.runs.push_back({from, 1});
    }
  });
  sc.row_in.resize(kWidth + sc.blend_t.size());
  sc.blend_p.resize(sc.blend_t.size());
  sc.blend_q.resize(sc.blend_t.size());
  build_samples(s, kHeight, sh, [&sc](std::size_t j, Sample x) { sc.rows[j] = x; });
  sc.colour_bytes.resize(4 * sw);
  for (std::size_t j = 0; j < 4 * sw; ++j) sc.colour_bytes[j] = j % 4 == 3 ? 0 : 0xFF;
  const std::size_t slot = sw + kRunPad;
  sc.cache.resize(3 * slot);
  sc.cache_row.fill(kNoRow);
  sc.cache_next = 0;

  // A horizontally scaled source row, scaled on first use into the next slot in turn; `keep`
  // is the row it is about to be blended with, whose slot is passed over.
  const auto scaled = [&sc, &image, slot](std::size_t row, std::size_t keep) {
    for (std::size_t k = 0; k < 3; ++k) {
      if (sc.cache_row[k] == row) return sc.cache.data() + k * slot;
    }
    std::size_t k = sc.cache_next;
    if (sc.cache_row[k] == keep) k = (k + 1) % 3;
    sc.cache_next = (k + 1) % 3;
    sc.cache_row[k] = row;
    std::uint32_t* dst = sc.cache.data() + k * slot;
    scale_row(sc, image.data() + row * kWidth, dst);
    return dst;
  };

  std::fill(out, out + top * ww, 0u);
  std::fill(out + (top + sh) * ww, out + wh * ww, 0u);
  for (std::size_t j = 0; j < sh; ++j) {
    std::uint32_t* row = out + (top + j) * ww;
    const Sample r = sc.rows[j];
    if (j > 0) {
      const Sample prev = sc.rows[j - 1];
      if (prev.t == r.t && prev.w == r.w && (r.w == 0 || prev.u == r.u)) {
        std::memcpy(row, row - ww, ww * sizeof *row);
        continue;
      }
    }
    // Each row is written from left to right, bar, picture, bar.
    std::uint32_t* dst = row + left;
    if (r.w == 0) {
      const std::uint32_t* p = scaled(r.t, r.t);
      std::fill(row, dst, 0u);
      std::memcpy(dst, p, sw * sizeof *dst);
    } else {
      // The lower row first, so that rows are scaled in order and the oldest slot is reused.
      const std::size_t lo = std::min<std::size_t>(r.t, r.u);
      const std::size_t hi = std::max<std::size_t>(r.t, r.u);
      const std::uint32_t* a = scaled(lo, hi);
      const std::uint32_t* b = scaled(hi, lo);
      const std::uint32_t* p = r.t == lo ? a : b;
      const std::uint32_t* q = r.t == lo ? b : a;
      std::fill(row, dst, 0u);
      mix_bytes(bytes(dst), bytes(p), bytes(q), static_cast<std::uint16_t>(256 - r.w),
                static_cast<std::uint16_t>(r.w), sc.colour_bytes.data(), 4 * sw);
    }
    std::fill(dst + sw, row + ww, 0u);
  }
}

std::vector<std::uint32_t> to_colour(std::span<const std::uint8_t> layer, const Palette& palette,
                                     bool dedither) {
  std::vector<std::uint32_t> image(kFramePixels);
  Presenter().to_colour(layer, palette, dedither, image);
  return image;
}

}  // namespace ot
