// Fuzz target: INI text is read, one key is written, and the result is read back.
// The written key must read back as written and every other key as before.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "config/cp1251.h"
#include "config/inifile.h"
#include "fuzz/fuzzinput.h"

namespace {

struct Name {
  std::string section;  // UTF-8, as callers pass names
  std::string key;
};

std::string TrimBlanks(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

// The section and key names that the text seems to hold; reading a name that
// the reader does not know only gives the default, so a rough scan will do.
std::vector<Name> NamesIn(const std::string& text) {
  std::vector<Name> names;
  std::string section;
  size_t pos = 0;
  while (pos < text.size() && names.size() < 200) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = TrimBlanks(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty()) continue;
    if (line[0] == '[') {
      const size_t rb = line.rfind(']');
      if (rb != std::string::npos && rb > 0) section = cp1251::ToUtf8(line.substr(1, rb - 1));
    } else {
      const size_t eq = line.find('=');
      if (eq != std::string::npos && !section.empty())
        names.push_back({section, cp1251::ToUtf8(line.substr(0, eq))});
    }
  }
  return names;
}

// A name from the input, made of bytes a name may hold.
std::string NameFrom(fuzz::Input& in, bool allowEquals) {
  std::string raw = in.Bytes(in.Below(12) + 1);
  std::string name;
  for (char c : raw) {
    const auto b = static_cast<unsigned char>(c);
    if (b == '\r' || b == '\n' || b == 0 || b < 0x20) continue;
    if (!allowEquals && (b == '=' || b == ';' || b == '[')) continue;
    if (b == ']') continue;
    name += c;
  }
  name = TrimBlanks(name);
  if (name.empty()) name = "K";
  return cp1251::ToUtf8(name);
}

// A value the file can hold as it is: no line break, no NUL, not longer than
// the reader hands out.
std::string ValueFrom(fuzz::Input& in) {
  size_t length = in.Byte();
  if (in.Bool()) length = length * 16;  // long values too
  std::string raw = in.Bytes(length);
  std::string value;
  for (char c : raw) {
    const auto b = static_cast<unsigned char>(c);
    if (b == '\r' || b == '\n' || b == 0) continue;
    value += c;
  }
  if (value.size() > ini::kMaxValueLength) value.resize(ini::kMaxValueLength);
  return value;
}

bool SameName(const std::string& a, const std::string& b) {
  return cp1251::EqualsIgnoreCase(TrimBlanks(cp1251::FromUtf8(a)), TrimBlanks(cp1251::FromUtf8(b)));
}

const char kAbsent[] = "\x01" "absent";

std::string TempFile() {
  static std::string path;
  if (path.empty()) {
    char dir[] = "/tmp/vormik-fuzz-ini-XXXXXX";
    if (mkdtemp(dir) == nullptr) std::abort();
    path = std::string(dir) + "/plan.cld";
  }
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t mode = in.Byte();
  Name target;
  target.section = NameFrom(in, true);
  target.key = NameFrom(in, false);
  const std::string valueBytes = ValueFrom(in);
  const std::string value = cp1251::ToUtf8(valueBytes);
  const std::string text = in.Rest();

  // Some writes go to a name already in the file, so replacing is covered.
  std::vector<Name> names = NamesIn(text);
  if ((mode & 2) && !names.empty()) {
    target = names[mode % names.size()];
  }

  ini::IniDocument doc = ini::IniDocument::Parse(text);
  std::vector<std::string> before;
  for (const Name& n : names) {
    before.push_back(doc.ReadString(n.section, n.key, kAbsent));
    doc.ReadInteger(n.section, n.key, -7);
  }

  const std::string serializedBefore = doc.Serialize();
  FUZZ_CHECK(serializedBefore == text);  // reading changes nothing
  try {
    doc.WriteString(target.section, target.key, value);
  } catch (const std::invalid_argument&) {
    // A name that cannot be stored is refused and nothing changes.
    FUZZ_CHECK(doc.Serialize() == serializedBefore);
    return 0;
  }

  const std::string written = doc.Serialize();
  ini::IniDocument reread = ini::IniDocument::Parse(written);
  FUZZ_CHECK(doc.ReadString(target.section, target.key, kAbsent) == value);
  FUZZ_CHECK(reread.ReadString(target.section, target.key, kAbsent) == value);

  for (size_t i = 0; i < names.size(); ++i) {
    const Name& n = names[i];
    if (SameName(n.section, target.section) && SameName(n.key, target.key)) continue;
    const std::string after = reread.ReadString(n.section, n.key, kAbsent);
    if (after != before[i]) {
      std::fprintf(stderr, "key [%s] %s changed from '%s' to '%s'\n", n.section.c_str(),
                   n.key.c_str(), before[i].c_str(), after.c_str());
      std::abort();
    }
  }

  // Through the file: the same write on disk reads back the same way.
  if ((mode & 0x21) == 0x21 && text.size() < 4096) {
    const std::string path = TempFile();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    ini::IniFile file(path);
    file.WriteString(target.section, target.key, value);
    FUZZ_CHECK(ini::IniDocument::Load(path).Serialize() == written);
    FUZZ_CHECK(ini::IniFile(path).ReadString(target.section, target.key, kAbsent) == value);
  }
  return 0;
}
