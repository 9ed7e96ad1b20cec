#include "keeper/static_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace keeper {
namespace {

TEST(StaticFilesTest, ServesFilesInsideTheFolderOnly) {
  char name[] = "/tmp/keeper-web-test-XXXXXX";
  ASSERT_NE(mkdtemp(name), nullptr);
  const std::string dir = name;
  std::filesystem::create_directories(dir + "/web/vendor");
  std::ofstream(dir + "/web/index.html") << "<p>page</p>";
  std::ofstream(dir + "/web/vendor/lib.js") << "var x;";
  std::ofstream(dir + "/web/.hidden.js") << "secret";
  std::ofstream(dir + "/secret.txt") << "secret";
  const std::string web = dir + "/web";

  const auto index = ReadWebFile(web, "/");
  ASSERT_TRUE(index);
  EXPECT_EQ(index->content, "<p>page</p>");
  EXPECT_EQ(index->content_type, "text/html; charset=utf-8");
  const auto script = ReadWebFile(web, "/vendor/lib.js");
  ASSERT_TRUE(script);
  EXPECT_EQ(script->content_type, "text/javascript; charset=utf-8");
  for (const char* path :
       {"/missing.html", "/../secret.txt", "/vendor/../../secret.txt", "/.hidden.js", "/vendor",
        "/vendor/", "//etc/passwd", "/%2e%2e/secret.txt", "relative.html", ""}) {
    EXPECT_FALSE(ReadWebFile(web, path)) << path;
  }
  EXPECT_FALSE(ReadWebFile("", "/"));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace keeper
