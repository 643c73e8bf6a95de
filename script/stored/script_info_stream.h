// The script information of compiled code (routines, their variables, the
// globals) in component-stream form, as the stored form of compiled code
// carries it:
//
//   "TPF0", class name "ScriptInfo", object name, properties, 0, 0
//
// A property is its name (one length byte and the characters) and a tagged
// value; a zero byte ends the properties, and a second one the (empty) list
// of child objects. Integers take the smallest of the 8-, 16- and 32-bit
// tags that holds them; strings up to 255 characters the short string tag,
// longer ones the tag with a 32-bit length. A collection is its tag, then
// per item the byte 1, the item's properties and a zero byte, then a zero
// byte. Strings are left out when empty; every other property is written.
//
// The reader takes properties in any order and names in any letter case,
// refuses unknown properties, tags and enumeration names, and checks that
// what it read can be used safely (argument counts and result indexes
// within a routine's variables). Failures raise StreamError.
#ifndef VANTREL_SCRIPT_STORED_SCRIPT_INFO_STREAM_H_
#define VANTREL_SCRIPT_STORED_SCRIPT_INFO_STREAM_H_

#include "script/machine/script_info.h"
#include "script/stored/byte_reader.h"
#include "script/stored/byte_writer.h"

namespace vantrel {

void WriteScriptInfo(const ScriptInfo& info, ByteWriter& out);

// Reads one script-information block: all of `in`, which holds exactly the
// block. Routine entries (RoutineInfo::Entry) are not part of the block and
// stay -1.
ScriptInfo ReadScriptInfo(ByteReader& in);

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_STORED_SCRIPT_INFO_STREAM_H_
