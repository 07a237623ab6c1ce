// The watch on a path like /etc/localtime, in a temporary folder of its own: each way an
// administrator changes the zone shows once, and changes beside the path do not.

#include "time/path_watch_posix.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace halvrenn::platform {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

// Replaces `path` in one step, as package managers and timedatectl do.
void RenameOver(const fs::path& path, const std::function<void(const fs::path&)>& make) {
  const fs::path fresh = path.string() + ".new";
  make(fresh);
  fs::rename(fresh, path);
}

class PathWatchTest : public ::testing::Test {
 protected:
  // root/etc/localtime -> ../zones/Europe/A, as /etc/localtime points into zoneinfo.
  void SetUp() override {
    root = fs::temp_directory_path() / ("halvrenn-watch-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "etc");
    fs::create_directories(root / "zones" / "Europe");
    Write(root / "zones" / "Europe" / "A", "zone A");
    Write(root / "zones" / "Europe" / "B", "zone B");
    localtime = root / "etc" / "localtime";
    fs::create_symlink("../zones/Europe/A", localtime);
  }
  void TearDown() override { fs::remove_all(root); }

  fs::path root;
  fs::path localtime;
};

TEST_F(PathWatchTest, EveryChangeAlongThePathShowsOnceAndNothingElseDoes) {
  const struct {
    const char* what;
    bool shows;
    std::function<void(const fs::path& root, const fs::path& localtime)> change;
  } cases[] = {
      {"nothing", false, [](const fs::path&, const fs::path&) {}},
      {"a file beside the link", false,
       [](const fs::path& r, const fs::path&) { Write(r / "etc" / "hostname", "x"); }},
      {"a zone beside the one linked", false,
       [](const fs::path& r, const fs::path&) { Write(r / "zones" / "Europe" / "B", "B2"); }},
      {"the link re-pointed", true,
       [](const fs::path&, const fs::path& l) {
         RenameOver(l, [](const fs::path& p) { fs::create_symlink("../zones/Europe/B", p); });
       }},
      {"the zone file rewritten", true,
       [](const fs::path& r, const fs::path&) { Write(r / "zones" / "Europe" / "B", "B3"); }},
      {"the zone file replaced", true,
       [](const fs::path& r, const fs::path&) {
         RenameOver(r / "zones" / "Europe" / "B", [](const fs::path& p) { Write(p, "B4"); });
       }},
      {"a directory on the way renamed", true,
       [](const fs::path& r, const fs::path&) {
         fs::rename(r / "zones" / "Europe", r / "zones" / "Old");
       }},
      {"the directory coming back", true,
       [](const fs::path& r, const fs::path&) {
         fs::rename(r / "zones" / "Old", r / "zones" / "Europe");
       }},
      {"the link removed", true, [](const fs::path&, const fs::path& l) { fs::remove(l); }},
      {"the link made again", true,
       [](const fs::path&, const fs::path& l) { fs::create_symlink("../zones/Europe/A", l); }},
  };
  PathWatch watch(localtime.string());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(watch.Arm());
    c.change(root, localtime);
    EXPECT_EQ(watch.Changed(), c.shows);
    EXPECT_FALSE(watch.Changed()) << "a change shows once";
  }
}

}  // namespace
}  // namespace halvrenn::platform
