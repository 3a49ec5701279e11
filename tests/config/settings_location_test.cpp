// Where vormik.ini goes: beside a portable program, in the user's folder for an installed one.
#include <gtest/gtest.h>

#include <string>

#include "config/settings.h"

namespace {

TEST(SettingsLocation, ChoiceBetweenPortableAndUserFolder) {
  const struct {
    const char* exe;
    bool writable;
    bool installed;
    const char* userFolder;
    const char* expected;
  } rows[] = {
#ifdef _WIN32
      {"C:\\Vormik\\vormik.exe", true, false, "C:\\Users\\t\\AppData\\Roaming",
       "C:\\Vormik\\vormik.ini"},
      {"C:\\Program Files\\Vormik\\vormik.exe", false, false, "C:\\Users\\t\\AppData\\Roaming",
       "C:\\Users\\t\\AppData\\Roaming\\vormik\\vormik.ini"},
      {"C:\\Program Files\\Vormik\\vormik.exe", false, false, "",
       "C:\\Program Files\\Vormik\\vormik.ini"},
#else
      {"/home/t/lab/vormik", true, false, "/home/t/.config", "/home/t/lab/vormik.ini"},
      {"/usr/bin/vormik", false, true, "/home/t/.config", "/home/t/.config/vormik/vormik.ini"},
      // Root may write into /usr/bin, yet an installed program keeps out of it.
      {"/usr/bin/vormik", true, true, "/root/.config", "/root/.config/vormik/vormik.ini"},
      {"/opt/lab/vormik", false, false, "/x/", "/x/vormik/vormik.ini"},
      // No user folder known: the old place, where reads give their defaults.
      {"/opt/lab/vormik", false, false, "", "/opt/lab/vormik.ini"},
#endif
  };
  for (const auto& row : rows) {
    EXPECT_EQ(settings::ChooseSettingsPath(row.exe, row.writable, row.installed, row.userFolder),
              row.expected)
        << row.exe << " writable=" << row.writable << " installed=" << row.installed;
  }
}

#ifndef _WIN32
TEST(SettingsLocation, UserConfigFolderFromTheEnvironment) {
  const struct {
    const char* xdgConfigHome;
    const char* home;
    const char* expected;
  } rows[] = {
      {"/x/conf", "/home/t", "/x/conf"},      {nullptr, "/home/t", "/home/t/.config"},
      {"", "/home/t", "/home/t/.config"},     {"conf", "/home/t", "/home/t/.config"},
      {nullptr, "relative", ""},              {nullptr, nullptr, ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(settings::UserConfigFolder(row.xdgConfigHome, row.home), row.expected)
        << (row.xdgConfigHome ? row.xdgConfigHome : "(unset)") << " "
        << (row.home ? row.home : "(unset)");
  }
}
#endif

}  // namespace
