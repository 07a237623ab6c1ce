// Moves and copies that never replace, in a fresh folder, with the reasons the system gives; and
// the system's words as a reason inside a message and as a sentence of their own.

#include "cdr/files/file_moves.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "cdr/files/file_facts.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace halvrenn::cdr {
namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

TEST(FileMoves, KeepAnExistingDestinationAndSayWhy) {
  const fs::path root = fs::temp_directory_path() / "halvrenn-file-moves";
  fs::remove_all(root);
  fs::create_directories(root);
  const fs::path from = root / "calls.csv";
  const fs::path taken = root / "taken.csv";
  std::ofstream(from, std::ios::binary) << "id,start\r\n1,5\n";
  std::ofstream(taken, std::ios::binary) << "kept";

  using Operation = std::optional<SystemError> (*)(std::string_view, std::string_view);
  for (const Operation operation : {&MoveWithoutReplacing, &CopyWithoutReplacing}) {
    const std::optional<SystemError> refused = operation(from.string(), taken.string());
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->NameTaken()) << refused->text;
    EXPECT_EQ(Contents(taken), "kept");
  }
  EXPECT_FALSE(CopyWithoutReplacing(from.string(), (root / "copy.csv").string()));
  EXPECT_EQ(Contents(root / "copy.csv"), "id,start\r\n1,5\n");
  EXPECT_FALSE(MoveWithoutReplacing(from.string(), (root / "moved.csv").string()));
  EXPECT_EQ(Contents(root / "moved.csv"), "id,start\r\n1,5\n");
  EXPECT_FALSE(PathExists(from.string()));

  const std::optional<SystemError> missing =
      MoveWithoutReplacing(from.string(), (root / "again.csv").string());
  ASSERT_TRUE(missing);
  EXPECT_FALSE(missing->NameTaken() || missing->OtherVolume() || missing->DiskFull());
  EXPECT_FALSE(missing->text.empty());
  EXPECT_FALSE(RemoveFile(from.string())) << "a file already gone is removed";
  fs::remove_all(root);
}

TEST(SystemError, WordsInsideAMessageDropTheSentencesFullStop) {
#ifdef _WIN32
  const int codes[] = {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_DISK_FULL};
#else
  const int codes[] = {ENOENT, EACCES, ENOSPC};
#endif
  for (const int code : codes) {
    const std::string sentence = SystemSentence(code);
    const std::string reason = SystemErrorOf(code).text;
    EXPECT_FALSE(reason.empty() || reason.ends_with('.') || reason.ends_with('\n')) << reason;
    EXPECT_TRUE(sentence == reason || sentence == reason + ".") << sentence << " / " << reason;
  }
#ifndef _WIN32
  EXPECT_EQ(SystemErrorOf(EINTR).text, "interrupted");
#endif
  EXPECT_TRUE(NameTakenError().NameTaken());
}

}  // namespace
}  // namespace halvrenn::cdr
