// With TZ unset the zone is /etc/localtime, and a change of it shows at the next reading of the
// zone, however the administrator makes it: re-pointing the link, replacing the file, re-pointing
// a link further along the way, removing it. Runs only inside with_private_etc.sh, which gives
// the test program an /etc of its own.

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "dispatch.h"
#include "fake_fields.h"
#include "locale_and_zone.h"
#include "reference.h"

namespace halvrenn {
namespace {

namespace fs = std::filesystem;

const fs::path kLocaltime = "/etc/localtime";
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

class ZoneFile : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("HALVRENN_PRIVATE_ETC") == nullptr) {
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
  ReplaceWithLink(kLocaltime, kZoneinfo / "America/New_York");
  EXPECT_EQ(platform::ZoneBiasMinutes(), 300);
  EXPECT_EQ(platform::ZoneBiasMinutes(), 300);  // read again, unchanged

  ReplaceWithLink(kLocaltime, kZoneinfo / "Asia/Kolkata");
  EXPECT_EQ(platform::ZoneBiasMinutes(), -330) << "the link was re-pointed";

  ReplaceWithCopy(kLocaltime, kZoneinfo / "Europe/Paris");
  EXPECT_EQ(platform::ZoneBiasMinutes(), -60) << "a file replaced the link";

  ReplaceWithCopy(kLocaltime, kZoneinfo / "Etc/GMT+12");
  EXPECT_EQ(platform::ZoneBiasMinutes(), 720) << "the file was replaced";

  // /etc/localtime -> /etc/zone -> the zone file: re-pointing the second link counts too.
  ReplaceWithLink("/etc/zone", kZoneinfo / "Australia/Sydney");
  ReplaceWithLink(kLocaltime, "zone");
  EXPECT_EQ(platform::ZoneBiasMinutes(), -600);
  ReplaceWithLink("/etc/zone", kZoneinfo / "America/New_York");
  EXPECT_EQ(platform::ZoneBiasMinutes(), 300) << "a link further along was re-pointed";

  fs::remove(kLocaltime);
  EXPECT_EQ(platform::ZoneBiasMinutes(), 0) << "without /etc/localtime glibc keeps Greenwich";

  ReplaceWithLink(kLocaltime, kZoneinfo / "Europe/Paris");
  EXPECT_EQ(platform::ZoneBiasMinutes(), -60) << "the file came back";
}

TEST_F(ZoneFile, ShowsInTheWindowAtTheNextChangeOfTheInput) {
  ReplaceWithLink(kLocaltime, kZoneinfo / "America/New_York");
  testing::FakeFields fields;
  fields.text1 = "25569";
  DispatchInputChange(fields);
  EXPECT_EQ(fields.text3, testing::ExpectedDateText(25569 - 300 * 60));

  ReplaceWithLink(kLocaltime, kZoneinfo / "Asia/Kolkata");
  fields.text1 = "25570";
  DispatchInputChange(fields);
  EXPECT_EQ(fields.text3, testing::ExpectedDateText(25570 + 330 * 60));
  EXPECT_EQ(fields.text4, testing::ExpectedDateText(25570 + 330 * 60 + 3600));
}

}  // namespace
}  // namespace halvrenn
