// The viewer's files, served from one folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace keeper {

// The viewer is a few small files; anything bigger is not one of them.
inline constexpr std::size_t kMaxWebFileBytes = 8 << 20;

struct WebFile {
  std::string content;
  std::string content_type;
};

// The file that `path` ("/", "/viewer.js", "/vendor/uPlot.min.js") names in
// `web_dir`; nullopt when there is none, or when the path could leave the folder.
std::optional<WebFile> ReadWebFile(const std::string& web_dir, std::string_view path);

}  // namespace keeper
