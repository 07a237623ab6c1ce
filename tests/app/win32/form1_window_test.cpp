// The Win32 front inside the test process, for what Wine does not show across processes.

#include "form1_window.h"

#include <gtest/gtest.h>

namespace halvrenn::win32 {
namespace {

constexpr int kTestIcon = 1;  // test_icon.rc

TEST(Form1Window, TitleBarCarriesTheIconAtTheWindowsDpi) {
  Form1Window form;
  ASSERT_TRUE(form.Create(GetModuleHandleW(nullptr), kTestIcon, SW_SHOWNORMAL));
  const auto small =
      reinterpret_cast<HICON>(SendMessageW(form.handle(), WM_GETICON, ICON_SMALL, 0));
  const auto big = reinterpret_cast<HICON>(SendMessageW(form.handle(), WM_GETICON, ICON_BIG, 0));
  ASSERT_NE(small, nullptr);
  ASSERT_NE(big, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(small, &info));
  BITMAP mask{};
  GetObjectW(info.hbmMask, sizeof mask, &mask);
  EXPECT_EQ(mask.bmWidth, GetSystemMetricsForDpi(SM_CXSMICON, GetDpiForWindow(form.handle())));
  if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
}

}  // namespace
}  // namespace halvrenn::win32
