// Decodes Base64 text (RFC 2045 alphabet, "=" padding), as Basic
// credentials carry it.
#ifndef VANTREL_HTTP_BASE64_DECODER_H_
#define VANTREL_HTTP_BASE64_DECODER_H_

#include <string>
#include <string_view>

#include "base/exception.h"

namespace vantrel {

// A character outside the Base64 alphabet.
VANTREL_ERROR_CLASS(TableNotFoundError, Exception);
inline constexpr char kTableNotFoundMessage[] = "Coding table entry not found.";

class Base64Decoder {
 public:
  // The bytes `text` encodes. CR and LF are skipped; the first "=" ends
  // the data (what follows it is ignored); missing padding is accepted,
  // and a final lone character (6 bits) yields no byte. Raises
  // TableNotFoundError "Coding table entry not found." for any other
  // character outside the alphabet.
  static std::string DecodeString(std::string_view text);
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_BASE64_DECODER_H_
