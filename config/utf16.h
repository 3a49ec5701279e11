// UTF-16 text of the settings file, to and from the UTF-8 it is kept in.
#pragma once

#include <string>
#include <string_view>

namespace utf16 {

// UTF-16 text (without its mark) as UTF-8. A lone surrogate or a last odd
// byte reads as U+FFFD; false then, as the text no longer gives the bytes back.
bool Decode(std::string_view bytes, bool bigEndian, std::string& out);

// Valid UTF-8 as UTF-16; the document keeps its UTF-16 text valid, and a
// broken sequence would still give U+FFFD rather than vanish.
std::string Encode(std::string_view text, bool bigEndian);

}  // namespace utf16
