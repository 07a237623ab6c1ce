// What travels inside Halvrenn.exe: the version record, the icon group and the manifest, read
// back through the system's own resource and version APIs.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "running_halvrenn.h"

namespace halvrenn::testing {
namespace {

std::vector<std::uint8_t> ReadVersionRecord() {
  const std::wstring path = HalvrennExePath();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  std::vector<std::uint8_t> record(size);
  if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, record.data())) record.clear();
  return record;
}

std::wstring QueryString(std::vector<std::uint8_t>& record, const std::wstring& name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring query = L"\\StringFileInfo\\040904B0\\" + name;
  if (!VerQueryValueW(record.data(), query.c_str(), &value, &length) || length == 0) return {};
  return static_cast<const wchar_t*>(value);
}

// A version record is a tree of nodes: length, value length, type, a NUL-terminated UTF-16 key,
// padding to 32 bits, the value, padding, and the children. Returns the keys of the children of
// the node at `offset`, with their offsets.
std::vector<std::pair<std::wstring, std::size_t>> ChildKeys(const std::vector<std::uint8_t>& record,
                                                            std::size_t offset) {
  const auto word = [&](std::size_t at) {
    return static_cast<std::size_t>(record[at] | record[at + 1] << 8);
  };
  const auto align = [](std::size_t at) { return (at + 3) & ~std::size_t{3}; };
  const auto key_end = [&](std::size_t at) {
    while (word(at) != 0) at += 2;
    return at + 2;
  };
  const std::size_t end = offset + word(offset);
  const std::size_t value_bytes = word(offset + 4) == 1 ? word(offset + 2) * 2 : word(offset + 2);
  std::size_t child = align(align(key_end(offset + 6)) + value_bytes);
  std::vector<std::pair<std::wstring, std::size_t>> keys;
  while (child + 6 < end && word(child) != 0) {
    std::wstring key;
    for (std::size_t at = child + 6; word(at) != 0; at += 2) key += static_cast<wchar_t>(word(at));
    keys.emplace_back(key, child);
    child = align(child + word(child));
  }
  return keys;
}

TEST(HalvrennExeResources, VersionRecordHoldsTheVersionAndSixStringsInOrder) {
  std::vector<std::uint8_t> record = ReadVersionRecord();
  ASSERT_FALSE(record.empty());

  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", &value, &length));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00000001u);  // 0.1
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000000u);  // .0.0
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000000u);

  ASSERT_TRUE(VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", &value, &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(static_cast<const WORD*>(value)[0], 0x409);
  EXPECT_EQ(static_cast<const WORD*>(value)[1], 1200);

  const std::pair<const wchar_t*, const wchar_t*> expected[] = {
      {L"CompanyName", nullptr},      {L"ProductName", L"Halvrenn"},
      {L"FileVersion", L"0.01"},      {L"ProductVersion", L"0.01"},
      {L"InternalName", L"Halvrenn"}, {L"OriginalFilename", L"Halvrenn.exe"},
  };
  for (const auto& [name, text] : expected) {
    const std::wstring actual = QueryString(record, name);
    EXPECT_FALSE(actual.empty()) << name;
    if (text != nullptr) {
      EXPECT_EQ(actual, text) << name;
    }
  }

  // The order and the count come from the raw tree: root, StringFileInfo, its one table.
  std::size_t string_file_info = 0;
  for (const auto& [key, offset] : ChildKeys(record, 0)) {
    if (key == L"StringFileInfo") string_file_info = offset;
  }
  ASSERT_NE(string_file_info, 0u);
  const auto tables = ChildKeys(record, string_file_info);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0].first, L"040904B0");
  const auto strings = ChildKeys(record, tables[0].second);
  ASSERT_EQ(strings.size(), std::size(expected));
  for (std::size_t i = 0; i < strings.size(); ++i) {
    EXPECT_EQ(strings[i].first, expected[i].first);
  }
}

#pragma pack(push, 2)
struct IconGroupHeader {
  WORD reserved, type, count;
};
struct IconGroupEntry {
  BYTE width, height, color_count, reserved;
  WORD planes, bit_count;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

TEST(HalvrennExeResources, IconGroupHoldsThreeImagesAndAManifestIsEmbedded) {
  const std::wstring path = HalvrennExePath();
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(1), RT_GROUP_ICON);
  ASSERT_NE(group, nullptr);
  const auto* header =
      static_cast<const IconGroupHeader*>(LockResource(LoadResource(module, group)));
  ASSERT_EQ(header->count, 3);
  const auto* entries = reinterpret_cast<const IconGroupEntry*>(header + 1);
  const struct { int size, bits, colours; } expected[] = {{32, 1, 2}, {32, 4, 16}, {16, 4, 16}};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(entries[i].width, expected[i].size);
    EXPECT_EQ(entries[i].height, expected[i].size);
    EXPECT_EQ(entries[i].bit_count, expected[i].bits);
    // The image itself must be the bitmap its entry announces.
    HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(entries[i].id), RT_ICON);
    ASSERT_NE(image, nullptr);
    const auto* bitmap =
        static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, image)));
    EXPECT_EQ(bitmap->biWidth, expected[i].size);
    EXPECT_EQ(bitmap->biHeight, 2 * expected[i].size);  // colour bitmap and mask
    EXPECT_EQ(bitmap->biBitCount, expected[i].bits);
    EXPECT_EQ(bitmap->biClrUsed == 0 ? 1 << bitmap->biBitCount : int(bitmap->biClrUsed),
              expected[i].colours);
  }

  HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(manifest, nullptr);
  const std::string text(static_cast<const char*>(LockResource(LoadResource(module, manifest))),
                         SizeofResource(module, manifest));
  EXPECT_NE(text.find("PerMonitorV2"), std::string::npos);
  EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  FreeLibrary(module);
}

// Both programs declare long paths, which Windows honours where the machine's policy allows them.
TEST(HalvrennExeResources, BothProgramsAreLongPathAware) {
  const char* cdr_program = std::getenv("HALVRENN_CDR_EXE");
  ASSERT_NE(cdr_program, nullptr);
  const std::string cdr_path = cdr_program;
  for (const std::wstring& path :
       {HalvrennExePath(), std::wstring(cdr_path.begin(), cdr_path.end())}) {
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(module, manifest))),
                           SizeofResource(module, manifest));
    const std::size_t settings = text.find("<windowsSettings>");
    const std::size_t declared = text.find(
        "<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true"
        "</longPathAware>");
    EXPECT_NE(settings, std::string::npos);
    EXPECT_NE(declared, std::string::npos);
    EXPECT_LT(settings, declared);
    EXPECT_LT(declared, text.find("</windowsSettings>"));
    FreeLibrary(module);
  }
}

}  // namespace
}  // namespace halvrenn::testing
