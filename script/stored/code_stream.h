// The stored form of compiled code: a byte stream that holds one script's
// CompiledCode, so that it can be loaded and run without compiling again.
// All integers are little-endian.
//
//   offset  size  field
//        0    25  signature "Vantrel Script Code File" and the byte 0x1A
//       25     1  version: 4
//       26     2  unused, zero
//       28     4  number of implicit class references
//       32     4  number of used libraries
//       36     4  size of the script-information block
//       40    28  zero
//
// Then the class references (12 bytes each: class index, member index,
// member-is-method byte, 3 unused bytes), the used libraries (66 bytes
// each: a length byte and 64 bytes of name, then the default-instance
// byte; longer names are cut to 64), the script-information block
// (script_info_stream.h) and one record per instruction:
//
//   length (int32) = 24 + length of S, opcode (uint8), B (uint8), F (uint16),
//   P (int32), A (int32), N (int32), X (int32), Y (int32), the bytes of S
//
// X and Y together are the double D. Jump targets and routine entries are
// instruction numbers and host members packed member references, exactly
// as the compiler emits them; linking resolves them after loading.
//
// The reader checks the signature and then the version before anything
// else and trusts nothing it reads: counts and lengths are checked against
// the bytes left before anything is allocated for them, and the nesting of
// the script-information block is fixed. One stray byte after the last
// record is ignored.
#ifndef VANTREL_SCRIPT_STORED_CODE_STREAM_H_
#define VANTREL_SCRIPT_STORED_CODE_STREAM_H_

#include <exception>
#include <string>
#include <string_view>

#include "base/exception.h"
#include "base/format.h"
#include "script/errors/script_errors.h"
#include "script/machine/script_info.h"

namespace vantrel {

inline constexpr std::string_view kCodeStreamSignature = "Vantrel Script Code File\x1A";
inline constexpr int kCodeStreamVersion = 4;
inline constexpr size_t kCodeStreamHeaderSize = 68;

// Replaces the content of `stream` by the stored form of `code`. A failure
// raises ScriptInternalError "Unable to write stream (%s)".
void WriteCodeStream(const CompiledCode& code, std::string& stream);

// Reads the stored form in `stream`. Raises ScriptInternalError: "Invalid
// executable file signature", "%d not is a valid executable file version,
// expected %d", or "Unable to read stream (%s)" around any other failure.
// The routine entries of the script information are found again from the
// instructions (the opPrepare named after each routine).
CompiledCode ReadCodeStream(std::string_view stream);

// Runs `step` and returns what it returns; a failure other than an internal
// error or the silent abort becomes ScriptInternalError "Unable to read
// stream (%s)" with the failure's message.
template <class Step>
decltype(auto) GuardStreamRead(Step&& step) {
  try {
    return step();
  } catch (const ScriptInternalError&) {
    throw;
  } catch (const SilentError&) {
    throw;
  } catch (const std::exception& error) {
    throw ScriptInternalError(Format("Unable to read stream (%s)", {error.what()}));
  }
}

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_STORED_CODE_STREAM_H_
