// The line a second start sends and the running console's answer.
#include "console/handover.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using handover::Message;
using handover::Reply;

TEST(HandOver, Messages) {
  struct Row {
    const char* what;
    std::string received;
    Message expected;
    std::string path;
  };
  const std::string longest(handover::kMaxMessageBytes - 2, 'a');
  const Row rows[] = {
      {"a path", "/home/t/class 5A.cld\n", Message::Open, "/home/t/class 5A.cld"},
      {"Windows line end", "/home/t/a.cld\r\n", Message::Open, "/home/t/a.cld"},
      {"Cyrillic and markup", "/tmp/<img src=\"x\">/Класс.cld\n", Message::Open,
       "/tmp/<img src=\"x\">/Класс.cld"},
      {"the longest line", "/" + longest + "\n", Message::Open, "/" + longest},
      {"empty line: raise", "\n", Message::Raise, ""},
      {"nothing yet", "", Message::Incomplete, ""},
      {"half a path", "/home/t/a", Message::Incomplete, ""},
      {"one byte too long, no end", std::string(handover::kMaxMessageBytes, '/'), Message::Invalid,
       ""},
      {"too long with an end", "/" + std::string(handover::kMaxMessageBytes, 'a') + "\n",
       Message::Invalid, ""},
      {"two paths", "/a.cld\n/b.cld\n", Message::Invalid, ""},
      {"bytes after the line", "/a.cld\nx", Message::Invalid, ""},
      {"relative", "a.cld\n", Message::Invalid, ""},
      {"NUL inside", std::string("/a\0b.cld\n", 9), Message::Invalid, ""},
      {"carriage return inside", "/a\rb.cld\n", Message::Invalid, ""},
      {"not UTF-8", "/a\xff.cld\n", Message::Invalid, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::string path;
    EXPECT_EQ(handover::Parse(row.received, path), row.expected);
    EXPECT_EQ(path, row.path);
    if (row.expected == Message::Open) {
      std::string again;
      EXPECT_EQ(handover::Parse(handover::Compose(path), again), Message::Open);
      EXPECT_EQ(again, path);
    }
  }
}

TEST(HandOver, Replies) {
  const std::pair<std::string, Reply> rows[] = {
      {"", Reply::Incomplete}, {"o", Reply::Incomplete},     {"ok", Reply::Incomplete},
      {"ok\n", Reply::Taken},  {"ok\nok\n", Reply::Invalid}, {"no\n", Reply::Invalid},
      {"x", Reply::Invalid},   {"ok\r\n", Reply::Invalid},
  };
  for (const auto& [received, expected] : rows) {
    EXPECT_EQ(handover::ParseReply(received), expected) << received;
  }
}

}  // namespace
