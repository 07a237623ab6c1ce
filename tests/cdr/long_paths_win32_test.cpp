// Long paths in the \\?\ form, which every file function takes whatever the machine's long-path
// policy: a path stays as it is while every function takes it, and becomes absolute, with
// backslashes and no "." steps, once it is longer.

#include "cdr/files/long_paths_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace halvrenn::cdr {
namespace {

TEST(LongPaths, OnlyLongPathsTakeTheLongForm) {
  const std::string folder(120, 'f');
  const std::string name(140, 'n');  // with the folder, over MAX_PATH
  wchar_t current[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, current);
  std::wstring here = current;
  if (here.back() != L'\\') here += L'\\';
  const std::wstring wide_folder(folder.begin(), folder.end()), wide_name(name.begin(), name.end());
  struct Case {
    std::string given;
    std::wstring expected;
  };
  const Case cases[] = {
      {"C:\\cdr\\calls.csv", L"C:\\cdr\\calls.csv"},
      {"calls.csv", L"calls.csv"},
      {"C:/cdr/calls.csv", L"C:/cdr/calls.csv"},
      {"\\\\?\\C:\\" + folder + "\\" + name, L"\\\\?\\C:\\" + wide_folder + L"\\" + wide_name},
      {"C:\\" + folder + "\\" + name, L"\\\\?\\C:\\" + wide_folder + L"\\" + wide_name},
      {"C:/" + folder + "/./" + name, L"\\\\?\\C:\\" + wide_folder + L"\\" + wide_name},
      {"\\\\server\\share\\" + folder + "\\" + name,
       L"\\\\?\\UNC\\server\\share\\" + wide_folder + L"\\" + wide_name},
      {folder + "\\" + name, L"\\\\?\\" + here + wide_folder + L"\\" + wide_name},
      // A folder's path leaves room for an 8.3 name: 248 characters are already long.
      {"C:\\" + std::string(245, 'f'), L"\\\\?\\C:\\" + std::wstring(245, L'f')},
      {"C:\\" + std::string(244, 'f'), L"C:\\" + std::wstring(244, L'f')},
  };
  for (const Case& c : cases) EXPECT_EQ(SystemPath(c.given), c.expected) << c.given;
}

}  // namespace
}  // namespace halvrenn::cdr
