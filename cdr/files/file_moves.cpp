#include "cdr/files/file_moves.h"

#include <memory>
#include <vector>

#include "cdr/files/byte_streams.h"
#include "cdr/files/file_facts.h"
#include "cdr/files/temporary_files.h"

namespace halvrenn::cdr {

std::optional<SystemError> CopyWithoutReplacing(std::string_view from, std::string_view to) {
  const Result<std::unique_ptr<ByteSource>> source = OpenInputFile(from);
  if (!source) return source.Error();
  Result<std::unique_ptr<TemporaryFile>> copy = CreateTemporaryFile(to, (*source)->Permissions());
  if (!copy) return copy.Error();
  std::vector<char> buffer(1 << 20);
  for (;;) {
    const Result<std::size_t> read = (*source)->Read(buffer.data(), buffer.size());
    if (!read) return read.Error();
    if (*read == 0) break;
    if (std::optional<SystemError> failed =
            (*copy)->Write(std::string_view(buffer.data(), *read))) {
      return failed;
    }
  }
  std::optional<SystemError> failed = (*copy)->Commit(false);
  // Whatever the system said, a destination that is there now was taken.
  if (failed && PathExists(to)) return NameTakenError();
  return failed;
}

}  // namespace halvrenn::cdr
