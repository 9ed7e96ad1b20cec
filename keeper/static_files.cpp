#include "keeper/static_files.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

namespace keeper {
namespace {

struct ContentType {
  std::string_view extension;
  std::string_view type;
};

constexpr ContentType kContentTypes[] = {{".html", "text/html; charset=utf-8"},
                                         {".js", "text/javascript; charset=utf-8"},
                                         {".mjs", "text/javascript; charset=utf-8"},
                                         {".css", "text/css; charset=utf-8"},
                                         {".png", "image/png"},
                                         {".svg", "image/svg+xml"},
                                         {".ico", "image/x-icon"},
                                         {".json", "application/json"},
                                         {".txt", "text/plain; charset=utf-8"}};

// Letters, digits, "-", "_" and inner dots: no "..", no hidden files, no escapes.
bool IsPlainSegment(std::string_view segment) {
  if (segment.empty() || segment.front() == '.') return false;
  for (char c : segment) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.';
    if (!plain) return false;
  }
  return true;
}

}  // namespace

std::optional<WebFile> ReadWebFile(const std::string& web_dir, std::string_view path) {
  if (web_dir.empty() || path.empty() || path.front() != '/') return std::nullopt;
  std::string relative = path == "/" ? "index.html" : std::string(path.substr(1));
  for (std::size_t start = 0;;) {
    const std::size_t slash = relative.find('/', start);
    if (!IsPlainSegment(std::string_view(relative).substr(start, slash - start))) {
      return std::nullopt;
    }
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  const std::size_t dot = relative.rfind('.');
  if (dot == std::string::npos) return std::nullopt;
  std::string_view type;
  for (const ContentType& known : kContentTypes) {
    if (std::string_view(relative).substr(dot) == known.extension) type = known.type;
  }
  if (type.empty()) return std::nullopt;
  const std::string full = web_dir + "/" + relative;
  struct stat info {};
  if (stat(full.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::size_t>(info.st_size) > kMaxWebFileBytes) {
    return std::nullopt;
  }
  std::ifstream in(full, std::ios::binary);
  if (!in) return std::nullopt;
  WebFile file{std::string(std::istreambuf_iterator<char>(in), {}), std::string(type)};
  return file;
}

}  // namespace keeper
