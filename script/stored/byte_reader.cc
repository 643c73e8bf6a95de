#include "script/stored/byte_reader.h"

#include "base/format.h"
#include "base/stream.h"

namespace vantrel {

uint8_t ByteReader::ReadUInt8() { return static_cast<uint8_t>(ReadBytes(1)[0]); }

uint16_t ByteReader::ReadUInt16() {
  std::string_view b = ReadBytes(2);
  return static_cast<uint16_t>(static_cast<uint8_t>(b[0]) | (static_cast<uint8_t>(b[1]) << 8));
}

int32_t ByteReader::ReadInt32() {
  std::string_view b = ReadBytes(4);
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i)
    value = (value << 8) | static_cast<uint8_t>(b[static_cast<size_t>(i)]);
  return static_cast<int32_t>(value);
}

std::string_view ByteReader::ReadBytes(size_t count) {
  if (count > Remaining()) {
    throw StreamError(
        Format("%d bytes wanted at offset %d, %d left", {count, position_, Remaining()}));
  }
  std::string_view part = bytes_.substr(position_, count);
  position_ += count;
  return part;
}

size_t ByteReader::CheckCount(int32_t count, size_t item_size, std::string_view what) const {
  if (count < 0 || static_cast<size_t>(count) > Remaining() / item_size) {
    throw StreamError(Format("%s %d at offset %d does not fit the %d bytes left",
                             {what, count, position_, Remaining()}));
  }
  return static_cast<size_t>(count);
}

}  // namespace vantrel
