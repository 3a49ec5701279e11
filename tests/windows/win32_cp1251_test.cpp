// Windows-1251 conversion and name folding against the system's own code
// page 1251 tables (MultiByteToWideChar, WideCharToMultiByte, CharUpperW).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "config/cp1251.h"

namespace {

constexpr UINT kCodePage = 1251;

std::wstring SystemWide(unsigned char byte) {
  const char in = static_cast<char>(byte);
  wchar_t out[4] = {};
  const int n = MultiByteToWideChar(kCodePage, 0, &in, 1, out, 4);
  return std::wstring(out, n > 0 ? n : 0);
}

std::string Utf8Of(const std::wstring& wide) {
  char out[16] = {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out,
                                    sizeof out, nullptr, nullptr);
  return std::string(out, n > 0 ? n : 0);
}

// 0x98 too: the code page leaves it unassigned, and the system reads it as
// U+0098 and writes U+0098 back as 0x98.
TEST(Win32Cp1251Test, EveryByteConvertsAsTheSystemConvertsIt) {
  for (int b = 0x01; b <= 0xFF; ++b) {
    SCOPED_TRACE("byte " + std::to_string(b));
    const std::string byte(1, static_cast<char>(b));
    const std::string utf8 = Utf8Of(SystemWide(static_cast<unsigned char>(b)));
    EXPECT_EQ(utf8, cp1251::ToUtf8(byte));
    EXPECT_EQ(byte, cp1251::FromUtf8(utf8));
    const std::wstring wide = SystemWide(static_cast<unsigned char>(b));
    char back[4] = {};
    const int n = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                                      static_cast<int>(wide.size()), back, sizeof back, nullptr,
                                      nullptr);
    EXPECT_EQ(byte, std::string(back, n > 0 ? n : 0));
  }
}

TEST(Win32Cp1251Test, TextWithoutA1251FormBecomesQuestionMarks) {
  // The system's own substitute for such characters is '?' as well.
  const std::wstring wide = L"\x4E2D\x00E9\x0416";  // CJK, e-acute, Cyrillic ZHE
  char system[8] = {};
  WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), 3, system, sizeof system, "?",
                      nullptr);
  EXPECT_EQ(std::string(system), cp1251::FromUtf8(Utf8Of(wide)));
}

// Letters whose upper-case forms are equal to the system compare equal
// without regard to letter case, and no other pairs do.
TEST(Win32Cp1251Test, IgnoreCaseAgreesWithTheSystemsUpperCase) {
  wchar_t upper[256] = {};
  for (int b = 1; b <= 0xFF; ++b) {
    const std::wstring w = SystemWide(static_cast<unsigned char>(b));
    upper[b] = w.empty() ? 0 : w[0];
    if (upper[b]) CharUpperBuffW(&upper[b], 1);
  }
  for (int a = 1; a <= 0xFF; ++a) {
    for (int b = a + 1; b <= 0xFF; ++b) {
      const bool system = upper[a] != 0 && upper[a] == upper[b];
      const std::string x(1, static_cast<char>(a)), y(1, static_cast<char>(b));
      EXPECT_EQ(system, cp1251::EqualsIgnoreCase(x, y)) << "bytes " << a << " and " << b;
    }
  }
}

}  // namespace
