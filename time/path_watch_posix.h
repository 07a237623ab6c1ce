#pragma once

// A watch on a path, such as /etc/localtime, that tells whether the file it names may have
// changed: the path is resolved one component at a time, as the kernel does, and every directory
// on the way is watched for the name of the next component; a link found on the way sends the
// walk along its target. The file at the end is watched itself. So re-pointing a link, renaming
// or replacing a directory on the way, or writing the file all show. Any doubt (no inotify, a
// full queue, a failed read, a fork since it was armed) counts as a change. Linux only (inotify).
//
// Example:
//   PathWatch watch("/etc/localtime");
//   watch.Arm();                          // then read the file
//   ...
//   if (watch.Changed()) { watch.Arm(); /* read it again */ }

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace halvrenn::platform {

class PathWatch {
 public:
  explicit PathWatch(std::string path);  // an absolute path
  PathWatch(const PathWatch&) = delete;
  PathWatch& operator=(const PathWatch&) = delete;
  ~PathWatch();

  // Watches the path from now on; false when it cannot, and then every check reports a change.
  // A missing file is watched for: its coming back is a change.
  bool Arm();

  // Whether anything watched changed since Arm(). Reads the pending events, so that a change is
  // reported once; the caller arms again before it reads the file.
  bool Changed();

 private:
  struct Entry {
    int watch;
    std::string name;
  };

  bool WatchEntry(const std::string& directory, const std::string& name);
  bool IsChange(int watch, std::uint32_t mask, const char* name) const;
  bool Fail();
  void Close();

  std::string path_;
  int descriptor_ = -1;
  unsigned generation_ = 0;
  std::vector<Entry> entries_;
};

}  // namespace halvrenn::platform
