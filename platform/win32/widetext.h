// Paths and texts cross into Windows as UTF-16. The rest of the program keeps
// them in UTF-8, which the ...A calls would read in the ANSI code page: a
// teacher's "C:\Users\Учитель" would name another folder.
#pragma once

#include <string>

#include "platform/win32/windowsapi.h"

namespace platform {

inline std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  if (length > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, &wide[0], length);
  return wide;
}

inline std::string Utf8(const wchar_t* text, size_t count) {
  if (count == 0) return {};
  const int size = static_cast<int>(count);
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(length), '\0');
  if (length > 0) WideCharToMultiByte(CP_UTF8, 0, text, size, &utf8[0], length, nullptr, nullptr);
  return utf8;
}

inline std::string Utf8(const std::wstring& text) { return Utf8(text.data(), text.size()); }

}  // namespace platform
