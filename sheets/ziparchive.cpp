// The zip reader: the end record, the central directory, the local headers
// and raw deflate through zlib, every offset checked against the bytes.
#include "sheets/ziparchive.h"

#include <zlib.h>

#include <algorithm>

namespace sheets {

namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kMaxCommentSize = 0xFFFF;
constexpr uint16_t kEncrypted = 1;
constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;
constexpr size_t kPiece = 16 * 1024;

uint16_t U16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               static_cast<unsigned char>(b[at + 1]) << 8);
}

uint32_t U32(std::string_view b, size_t at) {
  return static_cast<uint32_t>(U16(b, at)) | static_cast<uint32_t>(U16(b, at + 2)) << 16;
}

bool Fits(std::string_view b, size_t at, size_t length) {
  return at <= b.size() && length <= b.size() - at;
}

// Hands `data` to the sink in pieces, counting against the limit.
ZipStatus Deliver(std::string_view data, size_t& total, size_t maxBytes,
                  const std::function<bool(std::string_view)>& sink) {
  if (data.empty()) return ZipStatus::Ok;
  total += data.size();
  if (total > maxBytes) return ZipStatus::TooLarge;
  return sink(data) ? ZipStatus::Ok : ZipStatus::Stopped;
}

ZipStatus Inflate(std::string_view packed, size_t maxBytes,
                  const std::function<bool(std::string_view)>& sink) {
  z_stream stream{};
  // Raw deflate: a zip entry has no zlib header.
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return ZipStatus::Broken;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  stream.avail_in = static_cast<uInt>(packed.size());
  char piece[kPiece];
  size_t total = 0;
  ZipStatus status = ZipStatus::Ok;
  for (;;) {
    stream.next_out = reinterpret_cast<Bytef*>(piece);
    stream.avail_out = sizeof piece;
    const int rc = inflate(&stream, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) {
      status = ZipStatus::Broken;
      break;
    }
    status = Deliver(std::string_view(piece, sizeof piece - stream.avail_out), total, maxBytes, sink);
    if (status != ZipStatus::Ok || rc == Z_STREAM_END) break;
    // No output and no input left: the stream ends before its end mark.
    if (stream.avail_in == 0 && stream.avail_out != 0) {
      status = ZipStatus::Broken;
      break;
    }
  }
  inflateEnd(&stream);
  return status;
}

}  // namespace

bool ZipArchive::Open(std::string_view bytes) {
  bytes_ = bytes;
  entries_.clear();
  if (bytes.size() < kEndRecordSize) return false;
  // The end record is the last thing in the file, before a comment.
  const size_t lowest = bytes.size() > kEndRecordSize + kMaxCommentSize
                            ? bytes.size() - kEndRecordSize - kMaxCommentSize
                            : 0;
  size_t end = std::string_view::npos;
  for (size_t at = bytes.size() - kEndRecordSize + 1; at-- > lowest;) {
    if (U32(bytes, at) == kEndSignature) {
      end = at;
      break;
    }
  }
  if (end == std::string_view::npos) return false;
  const uint16_t count = U16(bytes, end + 10);
  const uint32_t size = U32(bytes, end + 12);
  const uint32_t offset = U32(bytes, end + 16);
  // 0xFFFF and 0xFFFFFFFF mark zip64, which no class list needs.
  if (count == 0xFFFF || offset == 0xFFFFFFFF || count > kMaxZipEntries) return false;
  if (!Fits(bytes, offset, size)) return false;
  size_t at = offset;
  for (uint16_t i = 0; i < count; ++i) {
    if (!Fits(bytes, at, kCentralHeaderSize) || U32(bytes, at) != kCentralSignature) return false;
    Entry entry;
    entry.flags = U16(bytes, at + 8);
    entry.method = U16(bytes, at + 10);
    entry.compressedSize = U32(bytes, at + 20);
    const uint16_t nameLength = U16(bytes, at + 28);
    const uint16_t extraLength = U16(bytes, at + 30);
    const uint16_t commentLength = U16(bytes, at + 32);
    entry.localOffset = U32(bytes, at + 42);
    const size_t recordLength = kCentralHeaderSize + nameLength + extraLength + commentLength;
    if (!Fits(bytes, at, recordLength)) return false;
    entry.name.assign(bytes.substr(at + kCentralHeaderSize, nameLength));
    entries_.push_back(std::move(entry));
    at += recordLength;
  }
  return true;
}

const ZipArchive::Entry* ZipArchive::Find(std::string_view name) const {
  const auto it = std::find_if(entries_.begin(), entries_.end(),
                               [&](const Entry& e) { return e.name == name; });
  return it != entries_.end() ? &*it : nullptr;
}

ZipStatus ZipArchive::Read(std::string_view name, size_t maxBytes,
                           const std::function<bool(std::string_view)>& sink) const {
  const Entry* entry = Find(name);
  if (entry == nullptr) return ZipStatus::Missing;
  if ((entry->flags & kEncrypted) != 0) return ZipStatus::Broken;
  const size_t local = entry->localOffset;
  if (!Fits(bytes_, local, kLocalHeaderSize) || U32(bytes_, local) != kLocalSignature)
    return ZipStatus::Broken;
  const size_t data = local + kLocalHeaderSize + U16(bytes_, local + 26) + U16(bytes_, local + 28);
  if (!Fits(bytes_, data, entry->compressedSize)) return ZipStatus::Broken;
  const std::string_view packed = bytes_.substr(data, entry->compressedSize);
  if (entry->method == kStored) {
    size_t total = 0;
    for (size_t at = 0; at < packed.size(); at += kPiece) {
      const ZipStatus status = Deliver(packed.substr(at, kPiece), total, maxBytes, sink);
      if (status != ZipStatus::Ok) return status;
    }
    return ZipStatus::Ok;
  }
  if (entry->method == kDeflated) return Inflate(packed, maxBytes, sink);
  return ZipStatus::Broken;
}

ZipStatus ZipArchive::ReadAll(std::string_view name, size_t maxBytes, std::string& out) const {
  out.clear();
  return Read(name, maxBytes, [&](std::string_view piece) {
    out.append(piece);
    return true;
  });
}

}  // namespace sheets
