#include "http/base64_decoder.h"

#include <array>
#include <cstdint>

namespace vantrel {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::int8_t kNotInAlphabet = -1;

constexpr std::array<std::int8_t, 256> MakeDecodeTable() {
  std::array<std::int8_t, 256> table{};
  for (auto& entry : table) entry = kNotInAlphabet;
  for (int i = 0; i < 64; ++i) {
    table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
  }
  return table;
}

constexpr std::array<std::int8_t, 256> kDecodeTable = MakeDecodeTable();

}  // namespace

std::string Base64Decoder::DecodeString(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size() / 4 * 3 + 2);
  std::uint32_t bits = 0;  // The pending 6-bit groups, newest lowest.
  int groups = 0;          // How many groups `bits` holds (0..3).
  for (const char c : text) {
    if (c == '\r' || c == '\n') continue;
    if (c == '=') break;  // Padding ends the data.
    const std::int8_t value = kDecodeTable[static_cast<unsigned char>(c)];
    if (value == kNotInAlphabet) throw TableNotFoundError(kTableNotFoundMessage);
    bits = (bits << 6) | static_cast<std::uint32_t>(value);
    if (++groups == 4) {
      decoded += static_cast<char>((bits >> 16) & 0xFF);
      decoded += static_cast<char>((bits >> 8) & 0xFF);
      decoded += static_cast<char>(bits & 0xFF);
      bits = 0;
      groups = 0;
    }
  }
  // A partial quantum: two groups carry one byte, three carry two.
  if (groups == 2) {
    decoded += static_cast<char>((bits >> 4) & 0xFF);
  } else if (groups == 3) {
    decoded += static_cast<char>((bits >> 10) & 0xFF);
    decoded += static_cast<char>((bits >> 2) & 0xFF);
  }
  return decoded;
}

}  // namespace vantrel
