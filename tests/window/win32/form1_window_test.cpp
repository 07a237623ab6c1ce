// The Win32 front inside the test process, for what Wine does not show across processes.

#include "window/win32/form1_window.h"

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

// A move to a screen of twice the density lays the controls out again from the table, in the
// message font of the new density.
TEST(Form1Window, DpiChangeLaysOutAgain) {
  Form1Window form;
  ASSERT_TRUE(form.Create(GetModuleHandleW(nullptr), kTestIcon, SW_SHOWNORMAL));
  const UINT dpi = GetDpiForWindow(form.handle());
  HWND text1 = GetWindow(GetWindow(form.handle(), GW_CHILD), GW_HWNDNEXT);
  const auto font_height = [&] {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(text1, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfHeight < 0 ? -font.lfHeight : font.lfHeight;
  };
  const LONG height_before = font_height();

  RECT suggested{};
  GetWindowRect(form.handle(), &suggested);
  const UINT doubled = dpi * 2;
  SendMessageW(form.handle(), WM_DPICHANGED, MAKEWPARAM(doubled, doubled),
               reinterpret_cast<LPARAM>(&suggested));

  const ControlDescription& d = Describe(Form1Control::Text1);
  RECT rect{};
  GetWindowRect(text1, &rect);
  MapWindowPoints(HWND_DESKTOP, form.handle(), reinterpret_cast<POINT*>(&rect), 2);
  const auto scaled = [&](int twips) { return MulDiv(twips, static_cast<int>(doubled), 1440); };
  EXPECT_EQ(rect.left, scaled(d.left));
  EXPECT_EQ(rect.top, scaled(d.top));
  EXPECT_EQ(rect.right - rect.left, scaled(d.width));
  EXPECT_EQ(rect.bottom - rect.top, scaled(d.height));
  EXPECT_GT(font_height(), height_before);
}

}  // namespace
}  // namespace halvrenn::win32
