// Which folders may hold the user's hand-over socket.
#include "platform/privatechannel.h"

#include <gtest/gtest.h>

namespace {

using platform::FolderFacts;
using platform::FolderTrust;

TEST(PrivateChannel, FolderJudgement) {
  constexpr uint32_t kMe = 1000;
  struct Row {
    const char* what;
    FolderFacts facts;
    FolderTrust expected;
  };
  const Row rows[] = {
      {"mine, 0700", {true, true, false, kMe, 0700}, FolderTrust::Trusted},
      {"mine, 0500", {true, true, false, kMe, 0500}, FolderTrust::Trusted},
      {"missing", {false, false, false, 0, 0}, FolderTrust::Missing},
      {"a link to my folder", {true, false, true, kMe, 0777}, FolderTrust::Link},
      {"a file", {true, false, false, kMe, 0600}, FolderTrust::NotAFolder},
      {"another user's, 0700", {true, true, false, 1001, 0700}, FolderTrust::ForeignOwner},
      {"root's", {true, true, false, 0, 0700}, FolderTrust::ForeignOwner},
      {"mine, group may enter", {true, true, false, kMe, 0710}, FolderTrust::OpenToOthers},
      {"mine, others may read", {true, true, false, kMe, 0704}, FolderTrust::OpenToOthers},
      {"mine, sticky and open", {true, true, false, kMe, 01777}, FolderTrust::OpenToOthers},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(platform::JudgeFolder(row.facts, kMe), row.expected);
    EXPECT_EQ(platform::FolderTrustText(row.expected, "/f").empty(),
              row.expected == FolderTrust::Trusted);
  }
}

}  // namespace
