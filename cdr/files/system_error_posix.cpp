// The system's errors on POSIX systems: errno and strerror's words.

#include <cerrno>
#include <cstring>

#include "cdr/files/system_error.h"

namespace halvrenn::cdr {

SystemError SystemErrorOf(int code) {
  // A read broken off by a signal is the user's interrupt (Ctrl+C) far more often than anything
  // the system means by "Interrupted system call".
  return {code, code == EINTR ? "interrupted" : std::strerror(code)};
}

SystemError LastSystemError() { return SystemErrorOf(errno); }
SystemError NameTakenError() { return SystemErrorOf(EEXIST); }
std::string SystemSentence(int code) { return std::strerror(code); }

bool SystemError::DiskFull() const { return code == ENOSPC || code == EDQUOT; }
bool SystemError::NameTaken() const { return code == EEXIST; }
bool SystemError::OtherVolume() const { return code == EXDEV; }

}  // namespace halvrenn::cdr
