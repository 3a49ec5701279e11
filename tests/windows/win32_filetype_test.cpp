// The .cld file type registration in the Windows registry, read back. The
// file-class root is redirected to a scratch key of the current user, so a
// run on a real Windows machine leaves the real registration alone.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/filetype.h"

namespace {

struct Row {
  const char* key;
  std::string expected;
};

class FileTypeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scratchName_ = "Software\\Vormik-filetype-test-" + std::to_string(GetCurrentProcessId());
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, scratchName_.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &scratch_, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CLASSES_ROOT, scratch_));
  }
  void TearDown() override {
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    if (scratch_) RegCloseKey(scratch_);
    RegDeleteTreeA(HKEY_CURRENT_USER, scratchName_.c_str());
  }

  // The default value of a key below the scratch root; "<missing>" when absent.
  std::string DefaultValue(const char* key, DWORD* type = nullptr) {
    char buffer[1024];
    DWORD size = sizeof buffer;
    DWORD valueType = 0;
    if (RegGetValueA(scratch_, key, nullptr, RRF_RT_ANY, &valueType, buffer, &size) !=
        ERROR_SUCCESS)
      return "<missing>";
    if (type) *type = valueType;
    return std::string(buffer, size > 0 && buffer[size - 1] == '\0' ? size - 1 : size);
  }

  void PutDefaultValue(const char* key, const std::string& value) {
    HKEY k;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(scratch_, key, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr));
    RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(k);
  }

  static std::vector<Row> Expected(const std::string& exe) {
    return {{".cld", "Vormik"},
            {"Vormik", "Vormik File"},
            // The program path is quoted too, so that one under "C:\Program
            // Files" starts without the shell guessing where its name ends.
            {"Vormik\\Shell\\Open\\Command", "\"" + exe + "\" \"%1\""},
            {"Vormik\\DefaultIcon", exe + ", 1"},
            {".cld\\DefaultIcon", exe + ", 1"}};
  }

  void ExpectRegistered(const std::string& exe) {
    for (const Row& row : Expected(exe)) {
      DWORD type = 0;
      EXPECT_EQ(row.expected, DefaultValue(row.key, &type)) << row.key;
      EXPECT_EQ(static_cast<DWORD>(REG_SZ), type) << row.key;
    }
  }

  std::string scratchName_;
  HKEY scratch_ = nullptr;
};

TEST_F(FileTypeTest, WritesTheFiveValuesUnderTheFileClassRoot) {
  ASSERT_TRUE(platform::RegisterFileType("C:\\Lab\\prog.exe"));
  ExpectRegistered("C:\\Lab\\prog.exe");
  // The leading backslash of the key names is not part of the registry path:
  // no key may be named with it.
  HKEY wrong;
  EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(scratch_, "\\.cld", 0, KEY_READ, &wrong));
}

TEST_F(FileTypeTest, OverwritesOtherValuesAndFollowsAMovedProgram) {
  for (const Row& row : Expected("C:\\Other\\program.exe"))
    PutDefaultValue(row.key, "something else");
  ASSERT_TRUE(platform::RegisterFileType("C:\\Lab\\prog.exe"));
  ExpectRegistered("C:\\Lab\\prog.exe");
  ASSERT_TRUE(platform::RegisterFileType("D:\\Moved Here\\vormik.exe"));
  ExpectRegistered("D:\\Moved Here\\vormik.exe");
}

TEST_F(FileTypeTest, FirstRefusedKeyEndsTheRegistrationQuietly) {
  // A volatile "Vormik" key cannot get the lasting subkey Shell\Open\Command,
  // so the third row fails (a read-only root cannot be imitated under Wine,
  // which does not check the rights of a parent key's handle).
  HKEY volatileKey;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(scratch_, "Vormik", 0, nullptr, REG_OPTION_VOLATILE,
                                           KEY_ALL_ACCESS, nullptr, &volatileKey, nullptr));
  RegCloseKey(volatileKey);

  bool registered = true;
  EXPECT_NO_THROW(registered = platform::RegisterFileType("C:\\Lab\\prog.exe"));
  EXPECT_FALSE(registered);
  EXPECT_EQ("Vormik", DefaultValue(".cld"));
  EXPECT_EQ("Vormik File", DefaultValue("Vormik"));
  EXPECT_EQ("<missing>", DefaultValue("Vormik\\Shell\\Open\\Command"));
  // The rows after the failure are skipped, even the one that could be written.
  EXPECT_EQ("<missing>", DefaultValue(".cld\\DefaultIcon"));
}

}  // namespace
