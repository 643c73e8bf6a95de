// Appends little-endian integers and strings to a byte string: the writing
// side of ByteReader.
#ifndef VANTREL_SCRIPT_STORED_BYTE_WRITER_H_
#define VANTREL_SCRIPT_STORED_BYTE_WRITER_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace vantrel {

class ByteWriter {
 public:
  // Appends to `bytes`, which must outlive the writer.
  explicit ByteWriter(std::string& bytes) : bytes_(bytes) {}

  size_t Position() const { return bytes_.size(); }

  void WriteUInt8(uint8_t value) { bytes_.push_back(static_cast<char>(value)); }
  void WriteUInt16(uint16_t value) {
    WriteUInt8(static_cast<uint8_t>(value));
    WriteUInt8(static_cast<uint8_t>(value >> 8));
  }
  void WriteInt32(int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) WriteUInt8(static_cast<uint8_t>(bits >> shift));
  }
  void WriteBytes(std::string_view bytes) { bytes_.append(bytes); }
  void WriteZeros(size_t count) { bytes_.append(count, '\0'); }
  // Overwrites four bytes at `position`, written earlier.
  void PatchInt32(size_t position, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    for (size_t i = 0; i < 4; ++i) bytes_[position + i] = static_cast<char>(bits >> (8 * i));
  }

 private:
  std::string& bytes_;
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_STORED_BYTE_WRITER_H_
