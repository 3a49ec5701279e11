// Reader and writer of INI text (settings file and classroom files), with the
// behaviour of the Windows profile-file service. Text is UTF-8 in this API and
// Windows-1251 with CR LF line ends on disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace ini {

inline constexpr size_t kMaxValueLength = 2047;

// Raised by a failed write; what() is "Unable to write to <file name>".
class WriteError : public std::runtime_error {
 public:
  explicit WriteError(const std::string& fileName);
  const std::string& fileName() const { return fileName_; }

 private:
  std::string fileName_;
};

// One INI file held in memory: reads look it up, writes change it in place.
class IniDocument {
 public:
  IniDocument() = default;
  // A missing or unreadable file gives an empty document.
  static IniDocument Load(const std::string& path);
  static IniDocument Parse(std::string_view cp1251Bytes);

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  // 0x/0X prefix: hexadecimal, otherwise decimal; a non-integer gives the default.
  int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;

  // Replaces the value where the key stands, or appends the key at the end of
  // its section, or appends the section at the end; nothing else changes.
  // A name that cannot be stored (empty, a line break, a key with "=" or
  // starting with ";" or "[") throws std::invalid_argument and changes nothing.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int value);

  std::string Serialize() const;  // Windows-1251, CR LF
  // Replaces the file in one step; throws WriteError.
  void Save(const std::string& path) const;

 private:
  // An indexed section or key: the hash of its folded name and the offset of
  // its line in text_. For a section, `extra` is where a new key goes (after
  // its last key line); for a key, the number of its section.
  struct Spot {
    uint64_t hash;
    size_t line;
    size_t extra;
  };
  void Index();
  void Shift(size_t from, std::ptrdiff_t delta);
  size_t FindSection(std::string_view name, uint64_t hash) const;
  size_t FindKey(size_t section, std::string_view name, uint64_t hash) const;
  size_t Lookup(std::string_view section, std::string_view key) const;

  std::string text_;  // the file's bytes as they are, Windows-1251, any line ends
  // First occurrences only, found through open-addressing hash tables:
  // compact, and one pass over the text builds them.
  std::vector<Spot> sections_;
  std::vector<Spot> keys_;
  std::vector<uint64_t> sectionSlots_;
  std::vector<uint64_t> keySlots_;
};

// Access to one file by name for the span of one operation, as the profile
// service offers it: reads see the file as it is on disk when first read,
// every write reaches the file at once (whole-file replace), Flush syncs it.
class IniFile {
 public:
  explicit IniFile(std::string path);

  const std::string& path() const { return path_; }
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue);
  int ReadInteger(std::string_view section, std::string_view key, int defaultValue);
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int value);
  void Flush();

 private:
  const IniDocument& Document();

  std::string path_;
  IniDocument document_;
  bool loaded_ = false;
};

// The integer rule of ReadInteger applied to a text (exposed for the settings
// that are stored as text and converted by their reader).
bool ParseInteger(std::string_view text, int& value);

}  // namespace ini
