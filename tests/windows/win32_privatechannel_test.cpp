// The Win32 peer check of the hand-over pipe: both ends of a pipe between
// two handles of this user pass; a handle that is no pipe does not.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/privatechannel.h"
#include "tests/windows/wintest.h"

namespace {

TEST(Win32PrivateChannelTest, BothEndsOfTheUsersOwnPipeAreThisUserAndAFileIsNot) {
  const std::string name =
      "\\\\.\\pipe\\vormik-peer-test-" + std::to_string(GetCurrentProcessId());
  const HANDLE server = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX,
                                         PIPE_TYPE_BYTE | PIPE_WAIT, 1, 512, 512, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  const HANDLE client = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(client, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(platform::PeerIsThisUser(reinterpret_cast<intptr_t>(server)));
  EXPECT_TRUE(platform::PeerIsThisUser(reinterpret_cast<intptr_t>(client)));
  CloseHandle(client);
  CloseHandle(server);

  wintest::TempFolder folder;
  const std::string path = folder.path() + "not-a-pipe";
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(platform::PeerIsThisUser(reinterpret_cast<intptr_t>(file)));
  CloseHandle(file);
  DeleteFileA(path.c_str());
}

}  // namespace
