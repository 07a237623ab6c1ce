// The files of a folder, as a drop and halvrenn-cdr take them, from a real tree in a fresh
// folder: the order, the sub-folders and their depth, and what is left out with the reason. On
// Windows (under Wine) the hidden and system attributes too, natively a link and a FIFO.

#include "cdr/folders/folder_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cdr/files/paths.h"
#include "folder_entries.h"

namespace halvrenn::cdr {
namespace {

namespace fs = std::filesystem;

enum class Made : unsigned char { kFile, kHiddenFile, kFolder, kFolderLink, kFifo };

struct Entry {
  const char* path;  // relative, with '/'
  Made made;
};

std::string Relative(const std::string& path, const fs::path& root) {
  return fs::path(path).lexically_relative(root).generic_string();
}

class FolderFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() /
           ("halvrenn-folder-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root);
    fs::create_directories(root);
  }
  void TearDown() override { fs::remove_all(root); }

  // False when this platform cannot make the entry.
  bool Make(const Entry& entry) {
    const fs::path path = root / fs::path(entry.path).make_preferred();
    fs::create_directories(path.parent_path());
    switch (entry.made) {
      case Made::kFile:
        std::ofstream(path) << "id,dateTimeConnect\n1,1700000000\n";
        return true;
      case Made::kHiddenFile:
        return testing::MakeHiddenFile(path);
      case Made::kFolder:
        return fs::create_directories(path);
      case Made::kFolderLink:
        fs::create_directories(root / "calls");
        return testing::MakeFolderLink(path, root / "calls");
      case Made::kFifo:
        return testing::MakeFifo(path);
    }
    return false;
  }

  fs::path root;
};

TEST_F(FolderFilesTest, GivesTheFilesInOrderAndLeavesOutWhatNoOneConverts) {
  struct Case {
    Entry entry;
    bool converted;
    SkipReason reason;  // when not converted
  };
  // The converted files in the order expected; made the other way round.
  const Case cases[] = {
      {{"a.csv", Made::kFile}, true, {}},
      {{"b.csv", Made::kFile}, true, {}},
      {{"b.converted.part/inner.csv", Made::kFile}, true, {}},  // a folder is looked into
      {{"calls/cdr_0", Made::kFile}, true, {}},
      {{"calls/node1/cdr_1", Made::kFile}, true, {}},
      {{"calls/node2/cdr_1", Made::kFile}, true, {}},
      {{"level1/level2/deepest.csv", Made::kFile}, true, {}},
      {{"level1/level2/level3", Made::kFolder}, false, SkipReason::kTooDeep},
      {{"desktop.ini", Made::kFile}, false, SkipReason::kHidden},  // by its name alone
      {{"Thumbs.db", Made::kFile}, false, SkipReason::kHidden},
      {{".profile", Made::kFile}, false, SkipReason::kHidden},
      {{".git/config", Made::kFile}, false, SkipReason::kHidden},
      {{"a.converted.csv", Made::kFile}, false, SkipReason::kOutput},
      {{".halvrenn-0123abcd.tmp", Made::kFile}, false, SkipReason::kTemporary},
      {{"calls/calls.csv.part", Made::kFile}, false, SkipReason::kTemporary},
      {{"marked.csv", Made::kHiddenFile}, false, SkipReason::kHidden},
      {{"link", Made::kFolderLink}, false, SkipReason::kLink},
      {{"pipe", Made::kFifo}, false, SkipReason::kNotAFile},
  };
  std::vector<std::string> expected;
  std::vector<std::pair<std::string, SkipReason>> skipped;
  for (auto c = std::rbegin(cases); c != std::rend(cases); ++c) {
    if (!Make(c->entry)) continue;
    const std::string path = c->entry.path;
    if (c->converted) {
      expected.insert(expected.begin(), path);
    } else {
      // A hidden folder is left out whole, as one entry.
      skipped.emplace_back(path.starts_with(".git/") ? ".git" : path, c->reason);
    }
  }

  const FolderFiles found = FilesOfFolder(root.string(), 2);
  std::vector<std::string> files;
  for (const std::string& file : found.files) files.push_back(Relative(file, root));
  EXPECT_EQ(files, expected);

  std::vector<std::pair<std::string, SkipReason>> left_out;
  for (const SkippedPath& path : found.skipped) {
    left_out.emplace_back(Relative(path.path, root), path.reason);
  }
  std::sort(left_out.begin(), left_out.end());
  std::sort(skipped.begin(), skipped.end());
  EXPECT_EQ(left_out, skipped);
}

// The walk, the drop and the watcher leave these out by their names alone.
TEST(LeftOutByNameTest, SaysWhyANameIsLeftOut) {
  struct Case {
    const char* name;
    std::optional<SkipReason> reason;
  };
  const Case cases[] = {
      {"calls.csv", std::nullopt},
      {"cdr_Cluster1_01_202612070915_1", std::nullopt},
      {"part", std::nullopt},
      {"calls.partial.csv", std::nullopt},
      {"a~$b.csv", std::nullopt},
      {".profile", SkipReason::kHidden},
      {"desktop.ini", SkipReason::kHidden},
      {"Thumbs.db", SkipReason::kHidden},
      {"EHTHUMBS.DB", SkipReason::kHidden},
      {"Icon\r", SkipReason::kHidden},
      {"calls.converted.csv", SkipReason::kOutput},
      {"cdr_1.converted.txt", SkipReason::kOutput},
      {"calls.csv.part", SkipReason::kTemporary},
      {"c2.csv.filepart", SkipReason::kTemporary},
      {"x.tmp", SkipReason::kTemporary},
      {"X.TMP", SkipReason::kTemporary},
      {"calls.csv.crdownload", SkipReason::kTemporary},
      {"~$calls.csv", SkipReason::kTemporary},
      {"calls.converted.csv.part", SkipReason::kTemporary},
      {".halvrenn-0123abcd.tmp", SkipReason::kTemporary},
  };
  for (const Case& c : cases) EXPECT_EQ(LeftOutByName(c.name), c.reason) << c.name;
  EXPECT_EQ(SkippedSummary({{"x.tmp", SkipReason::kTemporary},
                            {"y.part", SkipReason::kTemporary},
                            {"a.converted.csv", SkipReason::kOutput}}),
            "1 earlier output, 2 temporary or partial uploads");
  EXPECT_EQ(SkipReasonText(SkipReason::kTemporary), "a temporary or partial upload");
}

TEST_F(FolderFilesTest, AFolderThatCannotBeListedIsSaidSo) {
  const FolderFiles found = FilesOfFolder((root / "missing").string());
  EXPECT_TRUE(found.files.empty());
  ASSERT_EQ(found.skipped.size(), 1U);
  EXPECT_EQ(found.skipped.front().reason, SkipReason::kUnreadable);
  EXPECT_EQ(SkippedSummary(found.skipped), "1 folder that could not be read");
}

TEST_F(FolderFilesTest, RelativePathsAreMadeAbsolute) {
  const fs::path current = fs::current_path();
  fs::current_path(root);
  const fs::path here = fs::current_path();
  struct Case {
    const char* given;
    fs::path expected;
  };
  const Case cases[] = {
      {"calls.csv", here / "calls.csv"},
      {"day/node1", here / "day" / "node1"},
      {"./day//node1/./cdr_1", here / "day" / "node1" / "cdr_1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fs::path(AbsolutePath(c.given)), c.expected.lexically_normal()) << c.given;
  }
  const std::string absolute = (here / "calls.csv").string();
  EXPECT_EQ(AbsolutePath(absolute), absolute);
  fs::current_path(current);
}

}  // namespace
}  // namespace halvrenn::cdr
