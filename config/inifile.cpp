// INI reader and writer that reads like the Windows profile service and
// writes by changing only the bytes of the key concerned.
#include "config/inifile.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <utility>

#include "config/cp1251.h"
#include "config/foldednames.h"
#include "config/utf16.h"
#include "config/utf8.h"
#include "platform/system.h"

namespace ini {
namespace {

constexpr char kLineEnd[] = "\r\n";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool HasLineBreakOrNul(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Names that would not read back as written (or would break the file's
// structure) are refused rather than stored.
bool StorableSection(std::string_view s) { return !s.empty() && !HasLineBreakOrNul(s); }

bool StorableKey(std::string_view k) {
  return !k.empty() && !HasLineBreakOrNul(k) && k.find('=') == std::string_view::npos &&
         k.front() != '[' && k.front() != ';';
}

// The value as the reader sees it: one pair of matching quotes removed, cut
// at a NUL (the service hands out C strings) and at the buffer length, which
// counts characters (bytes in Windows-1251).
std::string_view StoredValue(std::string_view raw, bool unicode) {
  if (raw.size() >= 2 && raw.front() == raw.back() && (raw.front() == '"' || raw.front() == '\'')) {
    raw = raw.substr(1, raw.size() - 2);
  }
  const size_t nul = raw.find('\0');
  if (nul != std::string_view::npos) raw = raw.substr(0, nul);
  if (unicode) return utf8::FirstCharacters(raw, kMaxValueLength);
  if (raw.size() > kMaxValueLength) raw = raw.substr(0, kMaxValueLength);
  return raw;
}

// The value as written to the file, from its bytes in the file's encoding. A
// line break would end the line and start a new key, so it becomes a space; a
// value the reader would trim or unquote is put in quotes so that it reads
// back unchanged.
std::string EncodeValue(std::string v) {
  const size_t nul = v.find('\0');
  if (nul != std::string::npos) v.resize(nul);
  for (char& c : v) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  const bool trimmed = !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()));
  const bool unquoted =
      v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\'');
  if (trimmed || unquoted) v = '"' + v + '"';
  return v;
}

// "***" is the placeholder for no classroom file: it must never become a
// file in the working folder. Every other name is left to the operating
// system, which refuses what it cannot hold.
bool UsableFileName(const std::string& path) { return !path.empty() && path != "***"; }

constexpr size_t kNone = static_cast<size_t>(-1);

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
constexpr char kUtf16LeBom[] = "\xFF\xFE";
constexpr char kUtf16BeBom[] = "\xFE\xFF";
constexpr char kReplacementCharacter[] = "\xEF\xBF\xBD";  // U+FFFD

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}


LoadStatus StatusOf(platform::ReadStatus read) {
  switch (read) {
    case platform::ReadStatus::Ok: return LoadStatus::Ok;
    case platform::ReadStatus::Missing: return LoadStatus::Missing;
    case platform::ReadStatus::NotAFile: return LoadStatus::NotAFile;
    case platform::ReadStatus::TooLarge: return LoadStatus::TooLarge;
    case platform::ReadStatus::Unreadable: break;
  }
  return LoadStatus::Unreadable;
}

size_t LineEnd(std::string_view text, size_t pos) {
  while (pos < text.size() && text[pos] != '\n' && text[pos] != '\r') ++pos;
  return pos;
}

// What one line holds, by the reading rules of the profile service.
struct LineParts {
  enum Kind { kOther, kSection, kKey } kind = kOther;
  std::string_view name;  // trimmed, as written
  size_t valueBegin = 0;  // trimmed value, quotes still on
  size_t valueEnd = 0;
};

LineParts Dissect(std::string_view text, size_t begin, size_t end) {
  LineParts parts;
  size_t s = begin;
  while (s < end && IsBlank(text[s])) ++s;
  if (s == end || text[s] == ';') return parts;  // blank line or comment
  if (text[s] == '[') {
    size_t close = end;  // the last "]" of the line ends the name
    while (close > s + 1 && text[close - 1] != ']') --close;
    if (close > s + 1) {  // "[" without "]" is neither section nor key
      parts.kind = LineParts::kSection;
      parts.name = Trim(text.substr(s + 1, close - 1 - (s + 1)));
    }
    return parts;
  }
  const void* eq = std::memchr(text.data() + s, '=', end - s);
  if (eq == nullptr) return parts;  // no "=": not a key
  const size_t e = static_cast<const char*>(eq) - text.data();
  parts.kind = LineParts::kKey;
  parts.name = Trim(text.substr(s, e - s));
  parts.valueBegin = e + 1;
  parts.valueEnd = end;
  while (parts.valueBegin < parts.valueEnd && IsBlank(text[parts.valueBegin])) ++parts.valueBegin;
  while (parts.valueEnd > parts.valueBegin && IsBlank(text[parts.valueEnd - 1])) --parts.valueEnd;
  return parts;
}

LineParts DissectLineAt(std::string_view text, size_t begin) {
  return Dissect(text, begin, LineEnd(text, begin));
}


}  // namespace

WriteError::WriteError(const std::string& fileName)
    : std::runtime_error("Unable to write to " + fileName), fileName_(fileName) {}

WriteError::WriteError(const std::string& fileName, const std::string& message)
    : std::runtime_error(message), fileName_(fileName) {}

WriteRefused::WriteRefused(const std::string& fileName, platform::ReplaceStatus reason)
    : WriteError(fileName, platform::RefusalText(reason, fileName)), reason_(reason) {}

bool ParseInteger(std::string_view text, int& value) {
  text = Trim(text);
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    // Up to 32 bits, taken as their two's-complement pattern (0xFFFFFFFF is -1).
    uint64_t v = 0;
    for (size_t i = 2; i < text.size(); ++i) {
      const char c = text[i];
      int digit;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
      } else {
        return false;
      }
      v = v * 16 + static_cast<uint64_t>(digit);
      if (v > 0xFFFFFFFFull) return false;
    }
    value = static_cast<int>(static_cast<int32_t>(static_cast<uint32_t>(v)));
    return true;
  }
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > static_cast<int64_t>(INT_MAX) + 1) return false;
  }
  if (negative) v = -v;
  if (v > INT_MAX || v < INT_MIN) return false;
  value = static_cast<int>(v);
  return true;
}

// ---------------------------------------------------------------- IniDocument

LoadResult CheckFile(const std::string& path) {
  LoadResult result;
  if (platform::FileSize(path, result.fileSize)) {
    if (result.fileSize > kMaxFileBytes) result.status = LoadStatus::TooLarge;
  } else {
    result.status = platform::PathExists(path) ? LoadStatus::NotAFile : LoadStatus::Missing;
  }
  return result;
}

std::string SizeText(uint64_t bytes) {
  constexpr uint64_t kMegabyte = 1ull << 20;
  return std::to_string(bytes / kMegabyte + (bytes % kMegabyte != 0 ? 1 : 0)) + " МБ";
}

IniDocument IniDocument::Load(const std::string& path) {
  IniDocument doc;
  TryLoad(path, doc);
  return doc;
}

LoadResult IniDocument::TryLoad(const std::string& path, IniDocument& document) {
  document = IniDocument();
  std::string bytes;
  LoadResult result;
  result.status = StatusOf(platform::ReadFileLimited(path, bytes, kMaxFileBytes));
  if (result.status == LoadStatus::TooLarge) platform::FileSize(path, result.fileSize);
  if (!result.ok()) return result;
  result.fileSize = bytes.size();
  document = FromBytes(std::move(bytes));
  return result;
}

IniDocument IniDocument::Parse(std::string_view fileBytes) {
  return FromBytes(std::string(fileBytes));
}

// Takes the bytes over without a copy: a Windows-1251 file is held as it is.
IniDocument IniDocument::FromBytes(std::string&& fileBytes) {
  IniDocument doc;
  if (StartsWith(fileBytes, kUtf8Bom)) {
    doc.encoding_ = Encoding::Utf8Bom;
    fileBytes.erase(0, 3);
    doc.text_ = std::move(fileBytes);
  } else if (const bool big = StartsWith(fileBytes, kUtf16BeBom);
             big || StartsWith(fileBytes, kUtf16LeBom)) {
    // A broken file is still UTF-16 (whatever is written to it, its encoding
    // stays the same); its bytes are kept until it is first changed.
    doc.encoding_ = big ? Encoding::Utf16BeBom : Encoding::Utf16LeBom;
    if (!utf16::Decode(std::string_view(fileBytes).substr(2), big, doc.text_)) {
      doc.unchangedBytes_ = std::move(fileBytes);
    }
  } else {
    doc.text_ = std::move(fileBytes);
  }
  doc.Index();
  return doc;
}

std::string IniDocument::Native(std::string_view utf8) const {
  return Unicode() ? utf8::Repaired(utf8, "?") : cp1251::FromUtf8(utf8);
}

// Equal names but for case hash alike: Windows-1251 bytes fold one by one,
// UTF-8 text folds its characters first.
uint64_t IniDocument::NameHash(std::string_view name, uint64_t seed) const {
  return Unicode() ? foldednames::Hash(cp1251::FoldUtf8(name), seed) : foldednames::Hash(name, seed);
}

bool IniDocument::SameName(std::string_view a, std::string_view b) const {
  return Unicode() ? cp1251::FoldUtf8(a) == cp1251::FoldUtf8(b) : cp1251::EqualsIgnoreCase(a, b);
}

bool IniDocument::CanHold(std::string_view utf8) const {
  return !FirstUnholdable(utf8).has_value();
}

std::optional<cp1251::Unrepresentable> IniDocument::FirstUnholdable(std::string_view utf8) const {
  if (!Unicode()) return cp1251::FirstUnrepresentable(utf8);
  const size_t bad = utf8::FirstInvalid(utf8);
  if (bad == std::string_view::npos) return std::nullopt;
  char32_t cp;
  size_t length;
  utf8::Decode(utf8, bad, cp, length);
  return cp1251::Unrepresentable{bad, std::string(utf8.substr(bad, length))};
}

// One pass over the text. Lines end at LF, CR LF or a lone CR. Only the first
// occurrence of a section is indexed: later ones are invisible to reads and
// writes alike, as are keys before the first section.
void IniDocument::Index() {
  sections_.clear();
  keys_.clear();
  sectionSlots_.clear();
  keySlots_.clear();
  const std::string_view text(text_);
  size_t current = kNone;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = LineEnd(text, pos);
    size_t next = end;
    if (next < text.size()) {
      next += (text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n') ? 2 : 1;
    }
    const LineParts parts = Dissect(text, pos, end);
    if (parts.kind == LineParts::kSection) {
      const uint64_t hash = NameHash(parts.name, foldednames::kFnvBasis);
      current = kNone;
      if (FindSection(parts.name, hash) == kNone && sections_.size() < UINT32_MAX - 1) {
        current = sections_.size();
        sections_.push_back(Spot{hash, pos, next});
        foldednames::AddSlot(sectionSlots_, sections_);
      }
    } else if (parts.kind == LineParts::kKey && current != kNone) {
      const uint64_t hash = NameHash(parts.name, foldednames::KeySeed(current));
      if (FindKey(current, parts.name, hash) == kNone && keys_.size() < UINT32_MAX - 1) {
        keys_.push_back(Spot{hash, pos, current});
        foldednames::AddSlot(keySlots_, keys_);
      }
      sections_[current].extra = next;
    }
    pos = next;
  }
}

size_t IniDocument::FindSection(std::string_view name, uint64_t hash) const {
  return foldednames::Probe(sectionSlots_, hash, [&](size_t i) {
    return SameName(DissectLineAt(text_, sections_[i].line).name, name);
  });
}

size_t IniDocument::FindKey(size_t section, std::string_view name, uint64_t hash) const {
  return foldednames::Probe(keySlots_, hash, [&](size_t i) {
    return keys_[i].extra == section &&
           SameName(DissectLineAt(text_, keys_[i].line).name, name);
  });
}

size_t IniDocument::Lookup(std::string_view section, std::string_view key) const {
  const std::string s(Trim(Native(section)));
  const std::string k(Trim(Native(key)));
  if (s.empty() || k.empty()) return kNone;
  const size_t si = FindSection(s, NameHash(s, foldednames::kFnvBasis));
  return si == kNone ? kNone : FindKey(si, k, NameHash(k, foldednames::KeySeed(si)));
}

bool IniDocument::HasSection(std::string_view section) const {
  const std::string s(Trim(Native(section)));
  return !s.empty() && FindSection(s, NameHash(s, foldednames::kFnvBasis)) != kNone;
}

std::string IniDocument::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
  const size_t ki = Lookup(section, key);
  if (ki == kNone) return std::string(defaultValue);
  const LineParts parts = DissectLineAt(text_, keys_[ki].line);
  const std::string_view stored = StoredValue(
      std::string_view(text_).substr(parts.valueBegin, parts.valueEnd - parts.valueBegin),
      Unicode());
  return Unicode() ? utf8::Repaired(stored, kReplacementCharacter) : cp1251::ToUtf8(stored);
}

int IniDocument::ReadInteger(std::string_view section, std::string_view key,
                             int defaultValue) const {
  const size_t ki = Lookup(section, key);
  if (ki == kNone) return defaultValue;
  const LineParts parts = DissectLineAt(text_, keys_[ki].line);
  const std::string_view raw =
      std::string_view(text_).substr(parts.valueBegin, parts.valueEnd - parts.valueBegin);
  int value;
  return ParseInteger(StoredValue(raw, Unicode()), value) ? value : defaultValue;
}

void IniDocument::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
  const std::string s(Trim(Native(section)));
  const std::string k(Trim(Native(key)));
  if (!StorableSection(s) || !StorableKey(k)) {
    throw std::invalid_argument("INI section or key name cannot be stored");
  }
  const std::string v = EncodeValue(Native(value));
  unchangedBytes_.clear();
  unchangedBytes_.shrink_to_fit();
  // A new line after a last line that has no line end needs one first.
  const auto breakBefore = [this](size_t at) {
    const bool needed =
        at > 0 && at == text_.size() && text_.back() != '\n' && text_.back() != '\r';
    return std::string(needed ? kLineEnd : "");
  };
  // The index is brought up to date in place rather than rebuilt: a save
  // makes dozens of writes, and the file may be large.
  const uint64_t sectionHash = NameHash(s, foldednames::kFnvBasis);
  const size_t si = FindSection(s, sectionHash);
  if (si == kNone) {
    const std::string lineBreak = breakBefore(text_.size());
    Shift(text_.size(), static_cast<std::ptrdiff_t>(lineBreak.size()));
    const size_t header = text_.size() + lineBreak.size();
    text_ += lineBreak + "[" + s + "]" + kLineEnd;
    const size_t keyLine = text_.size();
    text_ += k + "=" + v + kLineEnd;
    sections_.push_back(Spot{sectionHash, header, text_.size()});
    foldednames::AddSlot(sectionSlots_, sections_);
    keys_.push_back(
        Spot{NameHash(k, foldednames::KeySeed(sections_.size() - 1)), keyLine, sections_.size() - 1});
    foldednames::AddSlot(keySlots_, keys_);
  } else if (const size_t ki = FindKey(si, k, NameHash(k, foldednames::KeySeed(si))); ki != kNone) {
    const LineParts parts = DissectLineAt(text_, keys_[ki].line);
    const size_t oldLength = parts.valueEnd - parts.valueBegin;
    text_.replace(parts.valueBegin, oldLength, v);
    Shift(parts.valueBegin, static_cast<std::ptrdiff_t>(v.size() - oldLength));
  } else {
    const size_t at = sections_[si].extra;
    const std::string lineBreak = breakBefore(at);
    const std::string added = lineBreak + k + "=" + v + kLineEnd;
    text_.insert(at, added);
    Shift(at, static_cast<std::ptrdiff_t>(added.size()));  // moves this section's end too
    keys_.push_back(Spot{NameHash(k, foldednames::KeySeed(si)), at + lineBreak.size(), si});
    foldednames::AddSlot(keySlots_, keys_);
  }
}

// Every offset at or after `from` moves by `delta`. Line starts are never
// inside the changed bytes, and a section's insertion point equal to `from`
// belongs after them.
void IniDocument::Shift(size_t from, std::ptrdiff_t delta) {
  if (delta == 0) return;
  const auto move = [&](size_t& offset) {
    if (offset >= from) offset = static_cast<size_t>(static_cast<std::ptrdiff_t>(offset) + delta);
  };
  for (Spot& spot : sections_) {
    move(spot.line);
    move(spot.extra);
  }
  for (Spot& spot : keys_) move(spot.line);
}

void IniDocument::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

std::string IniDocument::Serialize() const {
  if (!unchangedBytes_.empty()) return unchangedBytes_;
  switch (encoding_) {
    case Encoding::Windows1251: return text_;
    case Encoding::Utf8Bom: return kUtf8Bom + text_;
    case Encoding::Utf16LeBom: return kUtf16LeBom + utf16::Encode(text_, false);
    case Encoding::Utf16BeBom: return kUtf16BeBom + utf16::Encode(text_, true);
  }
  return text_;
}

void IniDocument::Save(const std::string& path, const platform::FileIdentity* expected) const {
  // A Windows-1251 text is written as it is held, without a copy.
  const platform::ReplaceStatus status = Unicode()
                                             ? platform::SafeReplaceFile(path, Serialize(), expected)
                                             : platform::SafeReplaceFile(path, text_, expected);
  if (status == platform::ReplaceStatus::Failed) throw WriteError(path);
  if (status != platform::ReplaceStatus::Ok) throw WriteRefused(path, status);
}

// -------------------------------------------------------------------- IniFile

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

const IniDocument& IniFile::Document() {
  if (!loaded_) {
    if (UsableFileName(path_)) {
      loadResult_ = IniDocument::TryLoad(path_, document_);
    } else {
      document_ = IniDocument();
    }
    loaded_ = true;
  }
  return document_;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) {
  return Document().ReadString(section, key, defaultValue);
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) {
  return Document().ReadInteger(section, key, defaultValue);
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  if (!UsableFileName(path_)) throw WriteError(path_);
  // Changes are made to the file as it is now, not to the copy read earlier.
  // A file that exists but cannot be read is not replaced: that would lose it.
  IniDocument doc;
  // The file read is the file replaced: another one put there meanwhile is refused.
  const platform::FileIdentity read = platform::IdentityOf(path_);
  if (platform::FileExists(path_)) {
    std::string bytes;
    if (!platform::ReadWholeFile(path_, bytes)) throw WriteError(path_);
    doc = IniDocument::Parse(bytes);
  }
  try {
    doc.WriteString(section, key, value);
  } catch (const std::invalid_argument&) {
    throw WriteError(path_);
  }
  doc.Save(path_, &read);
  document_ = std::move(doc);
  loaded_ = true;
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::Flush() {
  if (!platform::FileExists(path_)) return;  // nothing was written
  if (!platform::FlushFileToDisk(path_)) throw WriteError(path_);
}

}  // namespace ini
