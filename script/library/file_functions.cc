#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>

#include "script/errors/script_errors.h"
#include "script/library/created_objects.h"
#include "script/library/in_out_error.h"
#include "script/library/system_functions.h"
#include "script/library/system_library.h"
#include "script/library/text_file_class.h"
#include "script/machine/virtual_machine.h"

namespace vantrel::system_functions {
namespace {

// The text file that argument 0 holds.
TextFileClass& FileArg(VirtualMachine& machine) {
  TObject* object = machine.ObjectOf(machine.GetArg(0));
  if (object == nullptr || !object->ClassType().InheritsFrom(&TextFileClass::kClassInfo)) {
    throw ScriptRuntimeError("Text file expected: assign the file variable with AssignFile first");
  }
  return static_cast<TextFileClass&>(*object);
}

// An integer result, or a double when it does not fit 32 bits.
void SetCount(VirtualMachine& machine, std::int64_t value) {
  if (value >= INT32_MIN && value <= INT32_MAX) {
    machine.SetResult(Variant(static_cast<std::int32_t>(value)));
  } else {
    machine.SetResult(Variant(static_cast<double>(value)));
  }
}

}  // namespace

void Chdir(VirtualMachine& machine) {
  const std::string directory = machine.GetArgAsString(0);
  const char* failure = "Cannot change directory to";
  if (directory.find('\0') != std::string::npos) throw MakeInOutError(failure, directory, EINVAL);
  if (::chdir(directory.c_str()) != 0) throw MakeInOutError(failure, directory, errno);
}

void AssignFile(SystemLibrary&, VirtualMachine& machine) {
  ObjectTable& objects = CreatedObjects(machine);
  const Variant file = objects.Add(std::make_unique<TextFileClass>(machine.GetArgAsString(1)));
  try {
    machine.SetByRefArg(0, file);
  } catch (const ScriptRuntimeError&) {
    objects.Free(objects.Resolve(file.RawObjectHandle()));
    throw;
  }
  machine.SetResult(file);
}

void Reset(SystemLibrary&, VirtualMachine& machine) { FileArg(machine).Reset(); }

void Rewrite(SystemLibrary&, VirtualMachine& machine) { FileArg(machine).Rewrite(); }

void Append(SystemLibrary&, VirtualMachine& machine) { FileArg(machine).Append(); }

void CloseFile(SystemLibrary&, VirtualMachine& machine) { FileArg(machine).Close(); }

void Write(SystemLibrary&, VirtualMachine& machine) {
  FileArg(machine).Write(machine.GetArgAsString(1));
}

void WriteLn(SystemLibrary&, VirtualMachine& machine) {
  TextFileClass& file = FileArg(machine);
  file.Write(machine.GetArgAsString(1));
  file.Write("\n");
}

void ReadLn(SystemLibrary&, VirtualMachine& machine) {
  machine.SetResult(Variant(FileArg(machine).ReadLn()));
}

void Eof(SystemLibrary&, VirtualMachine& machine) { machine.SetResult(FileArg(machine).Eof()); }

void FilePos(SystemLibrary&, VirtualMachine& machine) {
  SetCount(machine, FileArg(machine).FilePos());
}

void FileSize(SystemLibrary&, VirtualMachine& machine) {
  SetCount(machine, FileArg(machine).FileSize());
}

}  // namespace vantrel::system_functions
