#include "authoring/script_assembler.h"

#include <algorithm>
#include <cstdint>

#include "assets/script_opcodes.h"
#include "authoring/archive_writer.h"
#include "authoring/byte_writer.h"
#include "authoring/compress.h"

namespace ot::authoring {

namespace {

// ---- Reading the text

struct Token {
  bool quoted = false;
  std::string text;  // a quoted token holds the string's bytes, escapes resolved
};

using Tokens = std::vector<Token>;

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

// One line split into bare words and quoted strings; a '#' outside a string starts a comment.
std::expected<Tokens, std::string> tokenize(std::string_view line) {
  Tokens tokens;
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (is_space(c)) {
      ++i;
      continue;
    }
    if (c == '#') break;
    Token token;
    if (c == '"') {
      token.quoted = true;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        const char s = line[i++];
        if (s == '"') {
          closed = true;
          break;
        }
        if (s != '\\') {
          token.text += s;
          continue;
        }
        if (i >= line.size()) break;
        const char e = line[i++];
        if (e == '"' || e == '\\') {
          token.text += e;
        } else if (e == 'n') {
          token.text += '\n';
        } else if (e == 't') {
          token.text += '\t';
        } else if (e == 'x') {
          const int hi = i < line.size() ? hex_digit(line[i]) : -1;
          const int lo = i + 1 < line.size() ? hex_digit(line[i + 1]) : -1;
          if (hi < 0 || lo < 0) return std::unexpected("\\x needs two hex digits");
          token.text += static_cast<char>(hi * 16 + lo);
          i += 2;
        } else {
          return std::unexpected(std::string("unknown escape \\") + e);
        }
      }
      if (!closed) return std::unexpected("unterminated string");
      if (i < line.size() && !is_space(line[i]) && line[i] != '#') {
        return std::unexpected("expected a space after a string");
      }
    } else {
      while (i < line.size() && !is_space(line[i]) && line[i] != '#' && line[i] != '"') {
        token.text += line[i++];
      }
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

// Decimal (a leading '-' allowed) or hexadecimal after "0x"; nullopt for anything else.
std::optional<std::int64_t> parse_integer(std::string_view s) {
  bool negative = false;
  int base = 10;
  if (s.starts_with('-')) {
    negative = true;
    s.remove_prefix(1);
  } else if (s.starts_with("0x") || s.starts_with("0X")) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty() || s.size() > 12) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : s) {
    const int d = hex_digit(c);
    if (d < 0 || d >= base) return std::nullopt;
    value = value * base + d;
  }
  return negative ? -value : value;
}

std::expected<std::int64_t, std::string> number_in(const Token& token, std::int64_t lo,
                                                   std::int64_t hi) {
  if (token.quoted) return std::unexpected("expected a number, got a string");
  const auto v = parse_integer(token.text);
  if (!v) return std::unexpected("bad number \"" + token.text + "\"");
  if (*v < lo || *v > hi) return std::unexpected("number out of range \"" + token.text + "\"");
  return *v;
}

// A 16-bit word: -32768 to 65535 (negative numbers stand for their two's complement).
std::expected<std::uint16_t, std::string> word_of(const Token& token) {
  auto v = number_in(token, -32768, 65535);
  if (!v) return std::unexpected(std::move(v.error()));
  return static_cast<std::uint16_t>(*v & 0xFFFF);
}

// Items of a byte list: numbers 0 to 255 and strings.
std::expected<void, std::string> append_bytes(std::span<const Token> items,
                                              std::vector<std::uint8_t>& out) {
  for (const Token& item : items) {
    if (item.quoted) {
      out.insert(out.end(), item.text.begin(), item.text.end());
      continue;
    }
    auto v = number_in(item, 0, 255);
    if (!v) return std::unexpected(std::move(v.error()));
    out.push_back(static_cast<std::uint8_t>(*v));
  }
  return {};
}

std::string plural(std::size_t n, std::string_view what) {
  return std::to_string(n) + " " + std::string(what) + (n == 1 ? "" : "s");
}

std::expected<void, std::string> append_words(std::string_view command, std::size_t expected,
                                              std::span<const Token> args, ByteWriter& out) {
  if (args.size() != expected) {
    return std::unexpected(std::string(command) + " takes " + plural(expected, "argument") +
                           ", got " + std::to_string(args.size()));
  }
  for (const Token& arg : args) {
    auto w = word_of(arg);
    if (!w) return std::unexpected(std::move(w.error()));
    out.u16(*w);
  }
  return {};
}

// Calls `handle(tokens)` for every line that holds something; errors get the line number.
template <class Handler>
std::optional<AssemblyError> for_each_line(std::string_view text, Handler&& handle) {
  std::size_t number = 0;
  while (!text.empty() || number == 0) {
    ++number;
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    auto tokens = tokenize(line);
    if (!tokens) return AssemblyError{number, std::move(tokens.error())};
    if (tokens->empty()) continue;
    if ((*tokens)[0].quoted) return AssemblyError{number, "expected a command, got a string"};
    if (auto r = handle(*tokens); !r) return AssemblyError{number, std::move(r.error())};
  }
  return std::nullopt;
}

std::string hex4(std::uint16_t v) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string s = "0x";
  for (int shift = 12; shift >= 0; shift -= 4) s += kDigits[(v >> shift) & 0xF];
  return s;
}

std::string hex2(std::uint8_t v) {
  return hex4(v).erase(2, 2);
}

std::uint16_t word_at(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// The opcode word of a command line: "op 0x1234 ..." or a name from the table.
template <class Find>
std::expected<std::uint16_t, std::string> opcode_of(const Tokens& tokens, Find&& find) {
  if (tokens[0].text == "op") {
    if (tokens.size() < 2) return std::unexpected("op needs an opcode");
    return word_of(tokens[1]);
  }
  if (const auto opcode = find(tokens[0].text)) return *opcode;
  return std::unexpected("unknown command \"" + tokens[0].text + "\"");
}

// ---- TTM

// One decoded step of the bytecode at p, as the loader walks it.
struct TtmStep {
  enum Kind { Words, Text, Bad } kind = Bad;
  std::uint16_t opcode = 0;
  std::size_t next = 0;  // may lie past the end (a text whose NUL or pad byte is missing)
};

TtmStep ttm_step(std::span<const std::uint8_t> b, std::size_t p) {
  TtmStep step;
  step.opcode = word_at(b, p);
  const auto n = ttm_argument_count(step.opcode);
  if (n == kTtmTextArgument) {
    const std::size_t start = p + 2;
    const auto nul = std::find(b.begin() + static_cast<std::ptrdiff_t>(start), b.end(), 0);
    const std::size_t k = static_cast<std::size_t>(nul - b.begin()) - start;
    step.kind = TtmStep::Text;
    step.next = start + k + (k % 2 == 1 ? 1 : 2);
  } else if (n && p + 2 + 2 * *n <= b.size()) {
    step.kind = TtmStep::Words;
    step.next = p + 2 + 2 * *n;
  }
  return step;
}

// Pages as the loader counts them: one per end_page, plus a last page that is not empty.
std::uint16_t count_pages(std::span<const std::uint8_t> bytecode) {
  std::size_t pages = 0;
  bool open_page = false;
  for (std::size_t p = 0; p + 2 <= bytecode.size();) {
    const TtmStep step = ttm_step(bytecode, p);
    if (step.kind == TtmStep::Bad) break;
    open_page = true;
    if (step.opcode == 0x0FF0) {
      ++pages;
      open_page = false;
    }
    p = step.next;
  }
  if (open_page) ++pages;
  return static_cast<std::uint16_t>(std::min<std::size_t>(pages, 0xFFFF));
}

std::expected<void, std::string> assemble_ttm_command(const Tokens& tokens, ByteWriter& out) {
  auto opcode = opcode_of(tokens, [](std::string_view name) -> std::optional<std::uint16_t> {
    if (const TtmOpcode* op = find_ttm_opcode(name)) return op->opcode;
    return std::nullopt;
  });
  if (!opcode) return std::unexpected(std::move(opcode.error()));
  const bool by_hex = tokens[0].text == "op";
  const std::string command = by_hex ? "op " + hex4(*opcode) : tokens[0].text;
  const auto args = std::span(tokens).subspan(by_hex ? 2 : 1);
  const auto n = ttm_argument_count(*opcode);
  if (!n) return std::unexpected(command + " has no argument count (write it with word)");
  if (*n != kTtmTextArgument) {
    out.u16(*opcode);
    return append_words(command, *n, args, out);
  }
  if (args.size() != 1 || !args[0].quoted) {
    return std::unexpected(command + " takes one text argument");
  }
  const std::string& text = args[0].text;
  if (text.find('\0') != std::string::npos) {
    return std::unexpected("a text cannot hold a NUL byte (write it with bytes)");
  }
  out.u16(*opcode).text(text).u8(0);
  if (text.size() % 2 == 0) out.u8(0);  // text and NUL padded to an even length
  return {};
}

// ---- ADS

std::expected<std::uint16_t, std::string> ads_opcode_of(const Tokens& tokens) {
  return opcode_of(tokens, [](std::string_view name) -> std::optional<std::uint16_t> {
    if (const AdsOpcode* op = find_ads_opcode(name)) return op->opcode;
    return std::nullopt;
  });
}

// ---- Writing text

// A byte list for bytes, pag_bytes and res_bytes: printable runs as strings, the rest in hex.
std::string byte_items(std::span<const std::uint8_t> bytes) {
  std::string out;
  std::size_t i = 0;
  const auto printable = [&](std::size_t at) {
    return at < bytes.size() && bytes[at] >= 0x20 && bytes[at] < 0x7F;
  };
  while (i < bytes.size()) {
    if (!out.empty()) out += ' ';
    if (printable(i) && printable(i + 1)) {
      out += '"';
      for (; printable(i); ++i) {
        if (bytes[i] == '"' || bytes[i] == '\\') out += '\\';
        out += static_cast<char>(bytes[i]);
      }
      out += '"';
    } else {
      out += hex2(bytes[i++]);
    }
  }
  return out;
}

// Lines of `directive` with at most 16 bytes each; one bare line when `bytes` is empty.
std::string byte_lines(std::string_view directive, std::span<const std::uint8_t> bytes,
                       std::string_view indent = "") {
  std::string out;
  std::size_t i = 0;
  do {
    const auto part = bytes.subspan(i, std::min<std::size_t>(16, bytes.size() - i));
    out += std::string(indent) + std::string(directive);
    if (!part.empty()) out += " " + byte_items(part);
    out += '\n';
    i += part.size();
  } while (i < bytes.size());
  return out;
}

// The rest of a stream as word lines (8 words each) and a bytes line for an odd last byte.
std::string raw_lines(std::span<const std::uint8_t> rest, std::string_view indent = "") {
  std::string out;
  std::size_t i = 0;
  while (i + 2 <= rest.size()) {
    out += std::string(indent) + "word";
    for (int k = 0; k < 8 && i + 2 <= rest.size(); ++k, i += 2) out += " " + hex4(word_at(rest, i));
    out += '\n';
  }
  if (i < rest.size()) out += byte_lines("bytes", rest.subspan(i), indent);
  return out;
}

std::string quoted(std::span<const std::uint8_t> bytes) {
  std::string out = "\"";
  for (const std::uint8_t b : bytes) {
    if (b == '"' || b == '\\') {
      out += '\\';
      out += static_cast<char>(b);
    } else if (b >= 0x20 && b < 0x7F) {
      out += static_cast<char>(b);
    } else {
      out += "\\x" + hex2(b).substr(2);
    }
  }
  return out + '"';
}

// Indentation of ADS commands by block: condition chains open a body, end_if and end_loop close
// it, else stands at the level of its if, random blocks are indented too. Only for the reader:
// the assembler ignores it, and a malformed nesting merely looks odd.
class AdsIndent {
 public:
  std::string before(std::uint16_t opcode) {
    const bool condition = (opcode >= 0x1010 && opcode <= 0x1080 && (opcode & 0xF) == 0) ||
                           (opcode >= 0x1310 && opcode <= 0x13C1);
    const bool joiner = opcode == 0x1420 || opcode == 0x1430;
    if (in_chain_ && !condition && !joiner) ++depth_;
    in_chain_ = condition || joiner;
    if (opcode == 0x1510 || opcode == 0x1520 || opcode == 0x30FF)
      depth_ = depth_ > 0 ? depth_ - 1 : 0;
    if (opcode == 0xFFFF) depth_ = 0;
    const std::size_t level = opcode == 0x1500 && depth_ > 0 ? depth_ - 1 : depth_;
    if (opcode == 0x3010) ++depth_;
    return std::string(2 + 2 * std::min<std::size_t>(level, 16), ' ');
  }

 private:
  std::size_t depth_ = 0;
  bool in_chain_ = false;
};

std::string signed_word(std::uint16_t w) {
  return std::to_string(w >= 0x8000 ? static_cast<int>(w) - 0x10000 : static_cast<int>(w));
}

}  // namespace

std::expected<TtmSource, AssemblyError> assemble_ttm(std::string_view text) {
  TtmSource source;
  std::optional<std::uint16_t> pages;
  ByteWriter code;
  const auto error = for_each_line(text, [&](const Tokens& t) -> std::expected<void, std::string> {
    const std::string& command = t[0].text;
    const auto args = std::span(t).subspan(1);
    if (command == "pages") {
      if (pages || source.page_payload) return std::unexpected("the page limit is given twice");
      if (args.size() != 1) return std::unexpected("pages takes 1 argument");
      auto w = word_of(args[0]);
      if (!w) return std::unexpected(std::move(w.error()));
      pages = *w;
      return {};
    }
    if (command == "pag_bytes") {
      if (pages) return std::unexpected("pag_bytes cannot follow pages");
      if (!source.page_payload) source.page_payload.emplace();
      return append_bytes(args, *source.page_payload);
    }
    if (command == "word") {
      if (args.empty()) return std::unexpected("word needs at least one value");
      return append_words("word", args.size(), args, code);
    }
    if (command == "bytes") {
      if (args.empty()) return std::unexpected("bytes needs at least one value");
      std::vector<std::uint8_t> b;
      auto r = append_bytes(args, b);
      code.bytes(b);
      return r;
    }
    return assemble_ttm_command(t, code);
  });
  if (error) return std::unexpected(*error);
  source.bytecode = code.take();
  if (source.page_payload) {
    const auto& p = *source.page_payload;
    source.page_limit = p.size() >= 2 ? word_at(p, 0) : 0;
  } else {
    source.page_limit = pages ? *pages : count_pages(source.bytecode);
  }
  return source;
}

std::expected<AdsSource, AssemblyError> assemble_ads(std::string_view text) {
  AdsSource source;
  ByteWriter program;
  // Where the program stands: a section number is due, inside a section, or after raw words
  // (whose place in the structure is not checked).
  enum class At { SectionNumber, Section, Raw } at = At::SectionNumber;
  const auto error = for_each_line(text, [&](const Tokens& t) -> std::expected<void, std::string> {
    const std::string& command = t[0].text;
    const auto args = std::span(t).subspan(1);
    if (command == "res") {
      if (source.res_payload) return std::unexpected("res cannot follow res_bytes");
      if (args.size() != 2 || !args[1].quoted) {
        return std::unexpected("res takes a slot number and a quoted name");
      }
      auto slot = word_of(args[0]);
      if (!slot) return std::unexpected(std::move(slot.error()));
      if (args[1].text.find('\0') != std::string::npos) {
        return std::unexpected("a name cannot hold a NUL byte (write it with res_bytes)");
      }
      if (source.res.size() == 0xFFFF) return std::unexpected("more than 65535 res entries");
      source.res.push_back({*slot, args[1].text});
      return {};
    }
    if (command == "res_bytes") {
      if (!source.res.empty()) return std::unexpected("res_bytes cannot follow res");
      if (!source.res_payload) source.res_payload.emplace();
      return append_bytes(args, *source.res_payload);
    }
    if (command == "word") {
      if (args.empty()) return std::unexpected("word needs at least one value");
      at = At::Raw;
      return append_words("word", args.size(), args, program);
    }
    if (command == "bytes") {
      if (args.empty()) return std::unexpected("bytes needs at least one value");
      at = At::Raw;
      std::vector<std::uint8_t> b;
      auto r = append_bytes(args, b);
      program.bytes(b);
      return r;
    }
    if (command == "section") {
      if (at == At::Section) return std::unexpected("section before the previous one's end");
      at = At::Section;
      return append_words("section", 1, args, program);
    }
    auto opcode = ads_opcode_of(t);
    if (!opcode) return std::unexpected(std::move(opcode.error()));
    if (at == At::SectionNumber) return std::unexpected(command + " outside a section");
    const bool by_hex = command == "op";
    if (*opcode == 0xFFFF) at = At::SectionNumber;
    program.u16(*opcode);
    return append_words(by_hex ? "op " + hex4(*opcode) : command, ads_argument_count(*opcode),
                        args.subspan(by_hex ? 1 : 0), program);
  });
  if (error) return std::unexpected(*error);
  source.program = program.take();
  return source;
}

std::vector<std::uint8_t> page_chunk_payload(const TtmSource& source) {
  if (source.page_payload) return *source.page_payload;
  return ByteWriter().u16(source.page_limit).take();
}

std::vector<std::uint8_t> res_chunk_payload(const AdsSource& source) {
  if (source.res_payload) return *source.res_payload;
  ByteWriter w;
  w.u16(static_cast<std::uint32_t>(source.res.size()));
  for (const ResEntry& entry : source.res) w.u16(entry.slot).text(entry.name).u8(0);
  return w.take();
}

std::vector<std::uint8_t> ttm_resource(const TtmSource& source) {
  return concat(
      {chunk("PAG:", page_chunk_payload(source)), chunk("TT3:", lzw_compress(source.bytecode))});
}

std::vector<std::uint8_t> ads_resource(const AdsSource& source) {
  return concat(
      {chunk("RES:", res_chunk_payload(source)), chunk("SCR:", lzw_compress(source.program))});
}

std::string disassemble_ttm(std::span<const std::uint8_t> pag_payload,
                            std::span<const std::uint8_t> bytecode) {
  std::string out;
  if (pag_payload.size() == 2) {
    out += "pages " + std::to_string(word_at(pag_payload, 0)) + "\n";
  } else {
    out += "# the page chunk is not one word\n" + byte_lines("pag_bytes", pag_payload);
  }
  if (bytecode.empty()) return out;
  std::size_t page = 0;
  out += "\n# page 0\n";
  for (std::size_t p = 0; p < bytecode.size();) {
    if (p + 2 > bytecode.size()) {
      out += "# an odd byte at the end\n" + byte_lines("bytes", bytecode.subspan(p));
      break;
    }
    const TtmStep step = ttm_step(bytecode, p);
    const TtmOpcode* named = find_ttm_opcode(step.opcode);
    const std::string command = named ? std::string(named->name) : "op " + hex4(step.opcode);
    if (step.kind == TtmStep::Bad) {
      out += "# not decodable from here on: opcode " + hex4(step.opcode) + "\n" +
             raw_lines(bytecode.subspan(p));
      break;
    }
    if (step.kind == TtmStep::Words) {
      out += command;
      for (std::size_t i = 0; 2 + 2 * i < step.next - p; ++i) {
        const std::uint16_t a = word_at(bytecode, p + 2 + 2 * i);
        out += " " + (i < 4 ? signed_word(a) : std::to_string(a));  // a4, a5 are unsigned
      }
      out += '\n';
    } else {
      // Text, NUL and a zero pad byte when the text's length is even; anything else is raw.
      const std::size_t end = std::min(step.next, bytecode.size());
      const auto text_and_rest = bytecode.subspan(p + 2, end - p - 2);
      const auto nul = std::find(text_and_rest.begin(), text_and_rest.end(), 0);
      const auto text = text_and_rest.first(static_cast<std::size_t>(nul - text_and_rest.begin()));
      if (step.next <= bytecode.size() && (text.size() % 2 == 1 || bytecode[step.next - 1] == 0)) {
        out += command + " " + quoted(text) + "\n";
      } else {
        out += "# " + command + " with its text ended or padded otherwise\n" + "word " +
               hex4(step.opcode) + "\n";
        if (!text_and_rest.empty()) out += byte_lines("bytes", text_and_rest);
      }
    }
    p = step.next;
    if (step.opcode == 0x0FF0 && p < bytecode.size())
      out += "\n# page " + std::to_string(++page) + "\n";
  }
  return out;
}

std::string disassemble_ads(std::span<const std::uint8_t> res_payload,
                            std::span<const std::uint8_t> program) {
  std::string out;
  // A plain list: the count, then exactly that many entries, each with its NUL, and no more.
  std::string list;
  bool plain = res_payload.size() >= 2;
  if (plain) {
    const std::uint16_t count = word_at(res_payload, 0);
    std::size_t p = 2;
    for (std::uint16_t i = 0; plain && i < count; ++i) {
      plain = p + 2 <= res_payload.size();
      if (!plain) break;
      const auto rest = res_payload.subspan(p + 2);
      const auto nul = std::find(rest.begin(), rest.end(), 0);
      plain = nul != rest.end();
      if (!plain) break;
      const auto name = rest.first(static_cast<std::size_t>(nul - rest.begin()));
      list += "res " + std::to_string(word_at(res_payload, p)) + " " + quoted(name) + "\n";
      p += 2 + name.size() + 1;
    }
    plain = plain && p == res_payload.size();
  }
  out += plain ? list : "# the RES list as stored\n" + byte_lines("res_bytes", res_payload);

  // Sections as the loader cuts them: a number word, commands up to an end (0xFFFF) word.
  const std::size_t n = program.size();
  for (std::size_t p = 0; p < n;) {
    if (n - p < 2) {
      out += "\n# an odd byte at the end\n" + byte_lines("bytes", program.subspan(p));
      break;
    }
    if (p > 0 && n - p == 2) {
      out += "\n# a last number word without a section\n" + raw_lines(program.subspan(p));
      break;
    }
    out += "\nsection " + std::to_string(word_at(program, p)) + "\n";
    p += 2;
    AdsIndent indent;
    while (p < n) {
      if (n - p < 2) {
        out += "  # an odd byte at the end\n" + byte_lines("bytes", program.subspan(p), "  ");
        return out;
      }
      const std::uint16_t opcode = word_at(program, p);
      const std::size_t length = ads_command_length(opcode);
      if (p + length > n) {
        out += "  # a command cut off by the end\n" + raw_lines(program.subspan(p), "  ");
        return out;
      }
      const AdsOpcode* named = find_ads_opcode(opcode);
      out += indent.before(opcode) + (named ? std::string(named->name) : "op " + hex4(opcode));
      for (std::size_t at = p + 2; at < p + length; at += 2) {
        out += " " + signed_word(word_at(program, at));
      }
      out += '\n';
      p += length;
      if (opcode == 0xFFFF) break;
    }
  }
  return out;
}

}  // namespace ot::authoring
