// A change of the system's zone while the program runs shows at the next change of the input.
// Every front hands each change to the dispatch, which reads the zone afresh: so the fronts are
// not driven here. The zone is the process's TZ, which the test changes between two changes;
// a change of /etc/localtime reaches the same reading (time/zone_file_posix_test.cpp).

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "fake_fields.h"
#include "reference.h"
#include "window/dispatch.h"

namespace halvrenn {
namespace {

class ScopedZone {
 public:
  explicit ScopedZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) previous_ = old;
    Set(zone);
  }
  ~ScopedZone() {
    if (previous_) {
      Set(previous_->c_str());
    } else {
      unsetenv("TZ");
    }
  }
  static void Set(const char* zone) { setenv("TZ", zone, 1); }

 private:
  std::optional<std::string> previous_;
};

TEST(ZoneChange, ShowsAtTheNextChangeOfTheInput) {
  ScopedZone zone("XST5");  // five hours west of Greenwich
  testing::FakeFields fields;
  fields.text1 = "25569";
  DispatchInputChange(fields);
  EXPECT_EQ(fields.text3, testing::ExpectedDateText(25569 - 5 * 3600));

  ScopedZone::Set("XET-1");  // one hour east
  fields.text1 = "25570";
  DispatchInputChange(fields);
  EXPECT_EQ(fields.text3, testing::ExpectedDateText(25570 + 3600));
  EXPECT_EQ(fields.text4, testing::ExpectedDateText(25570 + 3600 + 3600));
}

}  // namespace
}  // namespace halvrenn
