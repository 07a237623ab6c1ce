// With TZ unset the zone is /etc/localtime, and a change of it shows at the next reading of the
// zone, however the administrator makes it: re-pointing the link, replacing the file, re-pointing
// a link or a directory further along the way, rewriting it, removing it. Runs only inside
// with_private_etc.sh, which gives the test program an /etc of its own.

#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

#include "time/locale_and_zone.h"
#include "time/zone_rules.h"
#include "time/zone_rules_posix.h"

namespace halvrenn {
namespace {

namespace fs = std::filesystem;

const fs::path kLocaltime = kLocaltimePath;
const fs::path kZoneinfo = "/usr/share/zoneinfo";

// Replaces `path` in one step, as timedatectl and package managers do: a new entry beside it,
// renamed over it.
void ReplaceWithLink(const fs::path& path, const fs::path& target) {
  const fs::path fresh = path.string() + ".new";
  fs::remove(fresh);
  fs::create_symlink(target, fresh);
  fs::rename(fresh, path);
}

void ReplaceWithCopy(const fs::path& path, const fs::path& source) {
  const fs::path fresh = path.string() + ".new";
  fs::remove(fresh);
  fs::copy_file(source, fresh);
  fs::rename(fresh, path);
}

// Writes the zone file `source` into the existing file `path`, keeping its inode, as an editor
// would; the modification time moves on by a minute, since glibc compares whole seconds.
void RewriteInPlace(const fs::path& path, const fs::path& source) {
  const auto modified = fs::last_write_time(path);
  std::ifstream in(source, std::ios::binary);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << in.rdbuf();
  out.close();
  fs::last_write_time(path, modified + std::chrono::minutes(1));
}

class ZoneFile : public ::testing::Test {
 protected:
  void SetUp() override {
    // with_private_etc.sh leaves this mark in the /etc it mounts: without it, this /etc is the
    // machine's own, which the test must not touch.
    if (!fs::exists("/etc/halvrenn-private-etc")) {
      GTEST_SKIP() << "needs a private /etc: run through with_private_etc.sh";
    }
    if (const char* tz = std::getenv("TZ")) saved_tz_ = tz;
    unsetenv("TZ");
  }
  void TearDown() override {
    if (saved_tz_) setenv("TZ", saved_tz_->c_str(), 1);
  }

 private:
  std::optional<std::string> saved_tz_;
};

TEST_F(ZoneFile, ChangesShowAtTheNextReading) {
  struct Step {
    const char* what;
    std::function<void()> change;
    std::int32_t bias;
  };
  const Step steps[] = {
      {"a link to a zone file", [] { ReplaceWithLink(kLocaltime, kZoneinfo / "America/New_York"); },
       300},
      {"nothing changed", [] {}, 300},
      {"the link re-pointed", [] { ReplaceWithLink(kLocaltime, kZoneinfo / "Asia/Kolkata"); },
       -330},
      {"a file replacing the link", [] { ReplaceWithCopy(kLocaltime, kZoneinfo / "Europe/Paris"); },
       -60},
      {"the file replaced", [] { ReplaceWithCopy(kLocaltime, kZoneinfo / "Etc/GMT+12"); }, 720},
      {"the file rewritten in place",
       [] { RewriteInPlace(kLocaltime, kZoneinfo / "America/New_York"); }, 300},
      {"a relative link to a link",
       [] {
         ReplaceWithLink("/etc/zone", kZoneinfo / "Australia/Sydney");
         ReplaceWithLink(kLocaltime, "zone");
       },
       -600},
      {"the second link re-pointed",
       [] { ReplaceWithLink("/etc/zone", kZoneinfo / "America/New_York"); }, 300},
      {"a link to a directory on the way",
       [] {
         fs::create_directories("/etc/zones/a");
         fs::create_directories("/etc/zones/b");
         fs::copy_file(kZoneinfo / "Asia/Kolkata", "/etc/zones/a/here");
         fs::copy_file(kZoneinfo / "Europe/Paris", "/etc/zones/b/here");
         ReplaceWithLink("/etc/zones/current", "a");
         ReplaceWithLink(kLocaltime, "zones/current/here");
       },
       -330},
      {"the directory link re-pointed", [] { ReplaceWithLink("/etc/zones/current", "b"); }, -60},
      {"a directory on the way",
       [] {
         fs::create_directories("/etc/tree/current");
         fs::create_directories("/etc/tree/next");
         fs::copy_file(kZoneinfo / "Australia/Sydney", "/etc/tree/current/here");
         fs::copy_file(kZoneinfo / "America/New_York", "/etc/tree/next/here");
         ReplaceWithLink(kLocaltime, "/etc/tree/current/here");
       },
       -600},
      {"the directory swapped for another",
       [] {
         fs::rename("/etc/tree/current", "/etc/tree/old");
         fs::rename("/etc/tree/next", "/etc/tree/current");
       },
       300},
      {"TZ set", [] { setenv("TZ", "Asia/Kolkata", 1); }, -330},
      {"TZ unset again, the file unchanged", [] { unsetenv("TZ"); }, 300},
      {"the file removed: glibc keeps Greenwich", [] { fs::remove(kLocaltime); }, 0},
      {"the file back", [] { ReplaceWithLink(kLocaltime, kZoneinfo / "Europe/Paris"); }, -60},
      {"a copy, with /etc/timezone naming another zone, as container images have it",
       [] {
         std::ofstream("/etc/timezone") << "Asia/Tokyo\n";
         ReplaceWithCopy(kLocaltime, kZoneinfo / "America/Sao_Paulo");
       },
       180},
  };
  // Instants after the files' listed transitions too, where the rule at their end holds.
  const std::int64_t instants[] = {1796619600, 2210241600, 2215324800, 4278000000};
  for (const Step& step : steps) {
    step.change();
    EXPECT_EQ(platform::ZoneBiasMinutes(), step.bias) << step.what;
    // The file converter's rules of the machine's zone: the same zone as the C library's.
    tzset();
    const std::unique_ptr<ZoneRules> rules = MachineZoneRules();
    EXPECT_EQ(rules->BaseBiasMinutes(std::time(nullptr)), step.bias) << step.what;
    for (const std::int64_t instant : instants) {
      const auto time = static_cast<std::time_t>(instant);
      std::tm local{};
      ASSERT_NE(localtime_r(&time, &local), nullptr);
      EXPECT_EQ(rules->OffsetAt(instant), local.tm_gmtoff) << step.what << " at " << instant;
    }
  }
}

}  // namespace
}  // namespace halvrenn
