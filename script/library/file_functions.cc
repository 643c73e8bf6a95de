#include "script/errors/script_errors.h"
#include "script/library/system_functions.h"
#include "script/library/system_library.h"
#include "script/machine/virtual_machine.h"

namespace vantrel::system_functions {

// Placeholders until this group lands.

void Chdir(VirtualMachine&) { throw ScriptRuntimeError("Chdir is not available yet"); }
void AssignFile(SystemLibrary&, VirtualMachine&) {
  throw ScriptRuntimeError("AssignFile is not available yet");
}
void Reset(SystemLibrary&, VirtualMachine&) {
  throw ScriptRuntimeError("Reset is not available yet");
}
void Rewrite(SystemLibrary&, VirtualMachine&) {
  throw ScriptRuntimeError("Rewrite is not available yet");
}
void Append(SystemLibrary&, VirtualMachine&) {
  throw ScriptRuntimeError("Append is not available yet");
}
void CloseFile(SystemLibrary&, VirtualMachine&) {
  throw ScriptRuntimeError("CloseFile is not available yet");
}
void Write(SystemLibrary&, VirtualMachine&) {
  throw ScriptRuntimeError("Write is not available yet");
}
void WriteLn(SystemLibrary&, VirtualMachine&) {
  throw ScriptRuntimeError("WriteLn is not available yet");
}
void ReadLn(SystemLibrary&, VirtualMachine&) {
  throw ScriptRuntimeError("ReadLn is not available yet");
}
void Eof(SystemLibrary&, VirtualMachine&) { throw ScriptRuntimeError("EOF is not available yet"); }
void FilePos(SystemLibrary&, VirtualMachine&) {
  throw ScriptRuntimeError("FilePos is not available yet");
}
void FileSize(SystemLibrary&, VirtualMachine&) {
  throw ScriptRuntimeError("FileSize is not available yet");
}

}  // namespace vantrel::system_functions
