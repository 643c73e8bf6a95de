// Reads little-endian integers and strings from a block of bytes that is
// not trusted: every read checks the bytes left first, so no length or
// count in the input can make it read past the end, and a string is never
// longer than the bytes that remain. A read that cannot be done raises
// StreamError and leaves the position where it was.
//
// The reader views the bytes; they must outlive it.
#ifndef VANTREL_SCRIPT_STORED_BYTE_READER_H_
#define VANTREL_SCRIPT_STORED_BYTE_READER_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vantrel {

class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

  size_t Position() const { return position_; }
  size_t Size() const { return bytes_.size(); }
  size_t Remaining() const { return bytes_.size() - position_; }

  uint8_t ReadUInt8();
  int8_t ReadInt8() { return static_cast<int8_t>(ReadUInt8()); }
  uint16_t ReadUInt16();
  int16_t ReadInt16() { return static_cast<int16_t>(ReadUInt16()); }
  int32_t ReadInt32();
  // The next `count` bytes.
  std::string_view ReadBytes(size_t count);
  // A string of one length byte and that many characters.
  std::string_view ReadShortString() { return ReadBytes(ReadUInt8()); }
  void Skip(size_t count) { ReadBytes(count); }

  // A count read from the input that is to be followed by `count` items of
  // at least `item_size` bytes each: refused when negative or when the
  // bytes left cannot hold them, so that nothing is allocated for items the
  // input does not carry. `what` names the count in the error.
  size_t CheckCount(int32_t count, size_t item_size, std::string_view what) const;

 private:
  std::string_view bytes_;
  size_t position_ = 0;
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_STORED_BYTE_READER_H_
