#pragma once

// UTF-8, the core's text, to and from UTF-16, the text of the Windows API. Only the Windows
// build compiles the definitions (utf16_text_win32.cpp). Invalid input gives an empty text.

#include <string>
#include <string_view>

namespace halvrenn {

std::wstring Utf16FromUtf8(std::string_view text);
std::string Utf8FromUtf16(std::wstring_view text);

}  // namespace halvrenn
