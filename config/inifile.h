// Reader and writer of INI text (settings file and classroom files), with the
// behaviour of the Windows profile-file service. Text is UTF-8 in this API and
// Windows-1251 with CR LF line ends on disk, unless a byte order mark says the
// file is UTF-8 or UTF-16: then it is read and written back in that encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "config/cp1251.h"
#include "platform/safereplace.h"
#include "platform/system.h"

namespace ini {

inline constexpr size_t kMaxValueLength = 2047;

// Settings and classroom files above this size are refused before they are
// read: no real plan comes near it, and a huge file must not end the program.
inline constexpr uint64_t kMaxFileBytes = platform::kMaxReadBytes;

// The encoding of a file's text, told by its byte order mark.
enum class Encoding { Windows1251, Utf8Bom, Utf16LeBom, Utf16BeBom };

enum class LoadStatus {
  Ok,
  Missing,     // no file at the path
  NotAFile,    // a folder or a device
  TooLarge,    // above kMaxFileBytes; nothing was read
  Unreadable,  // no access, or a read error
};
struct LoadResult {
  LoadStatus status = LoadStatus::Ok;
  uint64_t fileSize = 0;  // known for Ok and TooLarge
  bool ok() const { return status == LoadStatus::Ok; }
};

// What loading the file would meet, from the file system alone (nothing is
// read): Missing, NotAFile, TooLarge, or Ok with the size. For refusing a file
// before it is stored or opened.
LoadResult CheckFile(const std::string& path);
// A file size for a message, in whole megabytes rounded up: "65536 МБ".
std::string SizeText(uint64_t bytes);

// Raised by a failed write; what() is "Unable to write to <file name>".
class WriteError : public std::runtime_error {
 public:
  explicit WriteError(const std::string& fileName);
  const std::string& fileName() const { return fileName_; }

 protected:
  WriteError(const std::string& fileName, const std::string& message);

 private:
  std::string fileName_;
};

// Raised when the entry may not be replaced at all (a link or file another
// user planted, a file replaced since it was read); what() says why, in Russian.
class WriteRefused : public WriteError {
 public:
  WriteRefused(const std::string& fileName, platform::ReplaceStatus reason);
  platform::ReplaceStatus reason() const { return reason_; }

 private:
  platform::ReplaceStatus reason_;
};

// One INI file held in memory: reads look it up, writes change it in place.
class IniDocument {
 public:
  IniDocument() = default;  // empty, Windows-1251
  // A missing, unreadable or too large file gives an empty document.
  static IniDocument Load(const std::string& path);
  // The same, saying why the document is empty; `document` is replaced either way.
  static LoadResult TryLoad(const std::string& path, IniDocument& document);
  // A file's bytes: with a UTF-8 or UTF-16 byte order mark, text in that
  // encoding (bytes that do not decode read as U+FFFD); otherwise Windows-1251.
  static IniDocument Parse(std::string_view fileBytes);

  Encoding encoding() const { return encoding_; }
  // True when every character of the UTF-8 text can be stored in this
  // document's encoding and read back unchanged.
  bool CanHold(std::string_view utf8) const;
  // The first character CanHold refuses (offset and UTF-8), if any.
  std::optional<cp1251::Unrepresentable> FirstUnholdable(std::string_view utf8) const;

  // True when the section is in the document (with or without keys).
  bool HasSection(std::string_view section) const;
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

  // The file's bytes: its encoding and byte order mark as loaded (a new
  // document: Windows-1251), new lines ended CR LF.
  std::string Serialize() const;
  // Replaces the file in one step, in the document's encoding; throws WriteError,
  // or WriteRefused when the entry is not to be trusted (see platform::SafeReplaceFile;
  // `expected` is the identity of the file the document was read from).
  void Save(const std::string& path, const platform::FileIdentity* expected = nullptr) const;

 private:
  // An indexed section or key: the hash of its folded name and the offset of
  // its line in text_. For a section, `extra` is where a new key goes (after
  // its last key line); for a key, the number of its section.
  struct Spot {
    uint64_t hash;
    size_t line;
    size_t extra;
  };
  static IniDocument FromBytes(std::string&& fileBytes);
  bool Unicode() const { return encoding_ != Encoding::Windows1251; }
  std::string Native(std::string_view utf8) const;  // a name or value in text_'s encoding
  uint64_t NameHash(std::string_view name, uint64_t seed) const;
  bool SameName(std::string_view a, std::string_view b) const;
  void Index();
  void Shift(size_t from, std::ptrdiff_t delta);
  size_t FindSection(std::string_view name, uint64_t hash) const;
  size_t FindKey(size_t section, std::string_view name, uint64_t hash) const;
  size_t Lookup(std::string_view section, std::string_view key) const;

  // The file's bytes as they are, any line ends: Windows-1251, or for a
  // Unicode file its text in UTF-8 without the byte order mark.
  std::string text_;
  Encoding encoding_ = Encoding::Windows1251;
  // A UTF-16 file that its text cannot give back (a lone surrogate, an odd
  // last byte), as it was read, until the first write.
  std::string unchangedBytes_;
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
  // How the first read found the file (a file too large to read gives the
  // defaults, and this says so); Ok before anything was read.
  const LoadResult& loadResult() const { return loadResult_; }

 private:
  const IniDocument& Document();

  std::string path_;
  IniDocument document_;
  LoadResult loadResult_;
  bool loaded_ = false;
};

// The integer rule of ReadInteger applied to a text (exposed for the settings
// that are stored as text and converted by their reader).
bool ParseInteger(std::string_view text, int& value);

}  // namespace ini
