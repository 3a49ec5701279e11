// What a second start tells the running console over the hand-over channel:
// one line, either a classroom file's absolute path (UTF-8) or nothing (show
// yourself); the console answers "ok" once it has taken it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace handover {

// Far above any real path (Linux allows 4096 bytes), small enough that a
// connection can cost the console no more than this.
inline constexpr size_t kMaxMessageBytes = 8192;
inline constexpr char kTaken[] = "ok\n";

enum class Message {
  Incomplete,  // no line end yet, still within the limit
  Raise,       // an empty line: the second start had no file
  Open,        // a path to open
  Invalid,     // too long, bytes after the line, not UTF-8, a NUL, not absolute
};

// Reads what a connection has sent so far; `path` is set for Open.
Message Parse(std::string_view received, std::string& path);

// The line a second start sends for the absolute `path` ("" to raise).
std::string Compose(std::string_view path);

enum class Reply { Incomplete, Taken, Invalid };
// What the running console has answered so far.
Reply ParseReply(std::string_view received);

}  // namespace handover
