// A text assembler and disassembler for the two script languages: TTM animation bytecode and
// ADS scene scripts. The syntax is described in docs/scripts.md. Disassembling any resource and
// assembling the text again gives the same bytes, malformed resources included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ot::authoring {

struct AssemblyError {
  std::size_t line = 0;  // 1-based line of the source text
  std::string message;

  bool operator==(const AssemblyError&) const = default;
};

struct TtmSource {
  std::uint16_t page_limit = 0;        // the "PAG:" word
  std::vector<std::uint8_t> bytecode;  // the unpacked "TT3:" payload
  // When set, the whole "PAG:" payload instead of the page limit word (a payload that is not
  // exactly one word long; page_limit then holds its first word, or 0).
  std::optional<std::vector<std::uint8_t>> page_payload;

  bool operator==(const TtmSource&) const = default;
};

struct ResEntry {
  std::uint16_t slot = 0;
  std::string name;  // bytes as stored, without the terminating NUL

  bool operator==(const ResEntry&) const = default;
};

struct AdsSource {
  std::vector<ResEntry> res;          // the "RES:" list
  std::vector<std::uint8_t> program;  // the unpacked "SCR:" payload
  // When set, the whole "RES:" payload instead of the list above (which is then empty).
  std::optional<std::vector<std::uint8_t>> res_payload;

  bool operator==(const AdsSource&) const = default;
};

std::expected<TtmSource, AssemblyError> assemble_ttm(std::string_view text);
std::expected<AdsSource, AssemblyError> assemble_ads(std::string_view text);

// The stored "PAG:" and "RES:" payloads.
std::vector<std::uint8_t> page_chunk_payload(const TtmSource& source);
std::vector<std::uint8_t> res_chunk_payload(const AdsSource& source);

// Chunk streams ready for write_archive: "PAG:" and "TT3:" (LZW), "RES:" and "SCR:" (LZW).
std::vector<std::uint8_t> ttm_resource(const TtmSource& source);
std::vector<std::uint8_t> ads_resource(const AdsSource& source);

// Text in the assembler's syntax from a stored "PAG:" payload and the unpacked bytecode, or a
// stored "RES:" payload and the unpacked program.
std::string disassemble_ttm(std::span<const std::uint8_t> pag_payload,
                            std::span<const std::uint8_t> bytecode);
std::string disassemble_ads(std::span<const std::uint8_t> res_payload,
                            std::span<const std::uint8_t> program);

}  // namespace ot::authoring
