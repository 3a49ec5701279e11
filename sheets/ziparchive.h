// A zip container read from memory, as .xlsx and .ods files are: the central
// directory is checked against the bytes, and an entry is inflated in pieces
// with zlib up to a limit, so that a zip bomb stops at the limit.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sheets {

// More entries than this is no spreadsheet a school writes.
inline constexpr size_t kMaxZipEntries = 2048;

enum class ZipStatus { Ok, Missing, TooLarge, Broken, Stopped };

class ZipArchive {
 public:
  // Reads the directory of `bytes` (kept by reference: they must outlive the
  // archive); false when they are no zip this reader takes (encrypted, zip64,
  // offsets outside the bytes).
  bool Open(std::string_view bytes);
  bool Has(std::string_view name) const { return Find(name) != nullptr; }
  // Gives the entry's bytes to `sink` in pieces until it returns false
  // (Stopped) or more than `maxBytes` came out (TooLarge).
  ZipStatus Read(std::string_view name, size_t maxBytes,
                 const std::function<bool(std::string_view)>& sink) const;
  // The whole entry, when it is at most `maxBytes`.
  ZipStatus ReadAll(std::string_view name, size_t maxBytes, std::string& out) const;

 private:
  struct Entry {
    std::string name;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t compressedSize = 0;
    uint32_t localOffset = 0;
  };
  const Entry* Find(std::string_view name) const;

  std::string_view bytes_;
  std::vector<Entry> entries_;
};

}  // namespace sheets
