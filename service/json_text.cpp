#include "service/json_text.h"

#include <array>
#include <cstring>
#include <stdexcept>
#include <string_view>

namespace {

constexpr std::size_t kIndentWidth = 4;

// For each byte: 0 when copied as it is, otherwise the letter of its escape
// ('u' for \u00XX).
constexpr std::array<char, 256> MakeEscapes() {
  std::array<char, 256> escapes{};
  for (int byte = 0; byte < 256; ++byte) escapes[byte] = (byte >= 0x20 && byte <= 0x7F) ? 0 : 'u';
  escapes['\b'] = 'b';
  escapes['\f'] = 'f';
  escapes['\n'] = 'n';
  escapes['\r'] = 'r';
  escapes['"'] = '"';
  escapes['/'] = '/';
  escapes['\\'] = '\\';
  return escapes;
}
constexpr std::array<char, 256> kEscapes = MakeEscapes();

// Appends into a string that grows ahead of the writes, so that each small
// piece is a bounds check and a copy rather than a library call.
class TextWriter {
 public:
  // Writes after what `text` already holds; `expected` more bytes are made room for.
  TextWriter(std::string& text, std::size_t expected) : text_(text), length_(text.size()) {
    text_.resize(length_ + expected);
  }

  void put(char c) {
    *room(1) = c;
    ++length_;
  }
  void put(std::string_view piece) {
    std::memcpy(room(piece.size()), piece.data(), piece.size());
    length_ += piece.size();
  }
  void indent(int depth) {
    const std::size_t width = static_cast<std::size_t>(depth) * kIndentWidth;
    std::memset(room(width), ' ', width);
    length_ += width;
  }
  // A quoted JSON string.
  void quoted(const std::string& raw) {
    static const char kHex[] = "0123456789ABCDEF";
    char* out = room(raw.size() * 6 + 2);  // \u00XX is the longest escape
    *out++ = '"';
    for (const char c : raw) {
      const auto byte = static_cast<unsigned char>(c);
      const char escape = kEscapes[byte];
      if (escape == 0) {
        *out++ = c;
        continue;
      }
      *out++ = '\\';
      *out++ = escape;
      if (escape == 'u') {
        *out++ = '0';
        *out++ = '0';
        *out++ = kHex[byte >> 4];
        *out++ = kHex[byte & 15];
      }
    }
    *out++ = '"';
    length_ = static_cast<std::size_t>(out - text_.data());
  }

  void finish() { text_.resize(length_); }

 private:
  char* room(std::size_t bytes) {
    if (length_ + bytes > text_.size()) text_.resize(std::max(text_.size() * 2, length_ + bytes));
    return text_.data() + length_;
  }

  std::string& text_;
  std::size_t length_;
};

bool IsArray(const ReadingDocument& node) {
  for (const auto& member : node) {
    if (!member.first.empty()) return false;
  }
  return true;
}

void WriteNode(TextWriter& out, const ReadingDocument& node, int depth);

void WriteArray(TextWriter& out, const ReadingDocument& node, int depth) {
  out.put("[\n");
  std::size_t left = node.size();
  for (const auto& element : node) {
    out.indent(depth + 1);
    WriteNode(out, element.second, depth + 1);
    out.put(--left ? ",\n" : "\n");
  }
  out.indent(depth);
  out.put(']');
}

void WriteObject(TextWriter& out, const ReadingDocument& node, int depth) {
  out.put("{\n");
  std::size_t left = node.size();
  for (const auto& member : node) {
    out.indent(depth + 1);
    out.quoted(member.first);
    out.put(':');
    if (member.second.empty()) {
      out.put(' ');
    } else {
      out.put('\n');
      out.indent(depth + 1);
    }
    WriteNode(out, member.second, depth + 1);
    out.put(--left ? ",\n" : "\n");
  }
  out.indent(depth);
  out.put('}');
}

void WriteNode(TextWriter& out, const ReadingDocument& node, int depth) {
  if (!node.empty() && !node.data().empty()) {
    throw std::invalid_argument("reading document node has both a value and children");
  }
  if (depth > 0 && node.empty()) {
    out.quoted(node.data());
  } else if (depth > 0 && IsArray(node)) {
    WriteArray(out, node, depth);
  } else {
    WriteObject(out, node, depth);
  }
}

// About 140 bytes per readout point; a guess, not a bound.
std::size_t ExpectedSize(const ReadingDocument& document) {
  std::size_t nodes = document.size();
  for (const auto& member : document) nodes += member.second.size() * 8;
  return 64 + nodes * 20;
}

}  // namespace

void AppendJsonText(const ReadingDocument& document, std::string& out) {
  if (!document.data().empty()) {
    throw std::invalid_argument("reading document root has a value");
  }
  TextWriter writer(out, ExpectedSize(document));
  WriteNode(writer, document, 0);
  writer.put('\n');
  writer.finish();
}

std::string TreeToJsonText(const ReadingDocument& document) {
  std::string text;
  AppendJsonText(document, text);
  return text;
}
