// A classroom file with everything a write must leave alone, shared by the
// in-memory and the on-disk INI tests.
#pragma once

#include <string>

namespace initests {

// A file with everything a write must leave alone: odd spacing, comments,
// LF and CR LF mixed, an unknown section, a duplicate key and section.
inline const std::string kMessy =
    "; classroom of room 12\n"
    "  [Desk1]  \r\n"
    "CoordinateLeft =  10  \r\n"
    "  coordinatetop=20\n"
    "junk line\r\n"
    "Visible=1\r\n"
    "Visible=0\r\n"
    "\r\n"
    "\r\n"
    "[Extra]\r\n"
    "Who=me\r\n"
    "[DESK1]\r\n"
    "StudentName=hidden\r\n";

}  // namespace initests
