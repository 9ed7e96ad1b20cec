#include "service/json_text.h"

#include <stdexcept>

namespace {

constexpr int kIndentWidth = 4;

void Indent(std::string& out, int depth) {
  out.append(static_cast<std::size_t>(depth * kIndentWidth), ' ');
}

void AppendEscaped(std::string& out, const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (byte) {
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '"':
        out += "\\\"";
        break;
      case '/':
        out += "\\/";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (byte >= 0x20 && byte <= 0x7F) {
          out += c;
        } else {
          out += "\\u00";
          out += kHex[byte >> 4];
          out += kHex[byte & 15];
        }
    }
  }
}

bool IsArray(const ReadingDocument& node) {
  for (const auto& child : node) {
    if (!child.first.empty()) return false;
  }
  return true;
}

void WriteNode(std::string& out, const ReadingDocument& node, int depth);

void WriteValue(std::string& out, const ReadingDocument& node) {
  out += '"';
  AppendEscaped(out, node.data());
  out += '"';
}

void WriteArray(std::string& out, const ReadingDocument& node, int depth) {
  out += "[\n";
  std::size_t left = node.size();
  for (const auto& child : node) {
    Indent(out, depth + 1);
    WriteNode(out, child.second, depth + 1);
    out += --left ? ",\n" : "\n";
  }
  Indent(out, depth);
  out += ']';
}

void WriteObject(std::string& out, const ReadingDocument& node, int depth) {
  out += "{\n";
  std::size_t left = node.size();
  for (const auto& member : node) {
    Indent(out, depth + 1);
    out += '"';
    AppendEscaped(out, member.first);
    out += "\":";
    if (member.second.empty()) {
      out += ' ';
    } else {
      out += '\n';
      Indent(out, depth + 1);
    }
    WriteNode(out, member.second, depth + 1);
    out += --left ? ",\n" : "\n";
  }
  Indent(out, depth);
  out += '}';
}

void WriteNode(std::string& out, const ReadingDocument& node, int depth) {
  if (!node.empty() && !node.data().empty()) {
    throw std::invalid_argument("reading document node has both a value and children");
  }
  if (depth > 0 && node.empty()) {
    WriteValue(out, node);
  } else if (depth > 0 && IsArray(node)) {
    WriteArray(out, node, depth);
  } else {
    WriteObject(out, node, depth);
  }
}

}  // namespace

std::string TreeToJsonText(const ReadingDocument& document) {
  if (!document.data().empty()) {
    throw std::invalid_argument("reading document root has a value");
  }
  std::string out;
  WriteNode(out, document, 0);
  out += '\n';
  return out;
}
