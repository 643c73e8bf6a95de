#include "script/machine/virtual_machine.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "base/ascii.h"
#include "base/exception.h"
#include "base/format.h"
#include "script/errors/script_errors.h"
#include "script/machine/host_binding.h"
#include "script/machine/machine_ops.h"
#include "script/machine/object_table.h"
#include "script/values/lenient_conversion.h"
#include "script/values/variant_array.h"

namespace vantrel {
namespace {

// A runtime error the machine made from another error an instruction raised;
// the original is already the last error, so protected blocks keep it.
class InstructionError : public ScriptRuntimeError {
 public:
  using ScriptRuntimeError::ScriptRuntimeError;
};

// How a value reads in the stack text of runtime error messages.
std::string SlotText(const Variant& slot) {
  const Variant& value = slot.Dereference();
  switch (value.Type()) {
    case VariantType::kUnassigned:
      return "Unassigned";
    case VariantType::kNull:
      return "Null";
    case VariantType::kObject:
      return "(object)";
    case VariantType::kClass:
      return "(class)";
    case VariantType::kArray:
      return "(array)";
    default:
      return value.ToString();
  }
}

std::string Hex(uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%X", value);
  return buffer;
}

}  // namespace

VirtualMachine::VirtualMachine()
    : stack_(std::make_unique<Variant[]>(kArgumentGuard + 2 * kStackSize)),
      base_(stack_.get() + kArgumentGuard),
      stack_end_(base_ + kStackSize),
      full_end_(base_ + kStackSize),
      sp_(base_),
      bp_(base_),
      out_(base_),
      arg_base_(base_),
      input_base_(base_),
      index_base_(base_),
      frames_(std::make_unique<Frame[]>(kMaxCallDepth)) {
  // The slots start Unassigned; the first run sets those above the globals
  // to Null.
}

VirtualMachine::~VirtualMachine() = default;

void VirtualMachine::SetOnPause(std::function<void(VirtualMachine&)> handler) {
  on_pause_ = std::move(handler);
}

void VirtualMachine::SetOnDebugHook(std::function<void(VirtualMachine&)> hook) {
  on_debug_hook_ = std::move(hook);
}

void VirtualMachine::SetOnMessage(std::function<void(std::string_view)> handler) {
  on_message_ = std::move(handler);
}

void VirtualMachine::SetAttention(uint8_t flag, bool on) {
  if (on) {
    attention_.fetch_or(flag);
  } else {
    attention_.fetch_and(static_cast<uint8_t>(~flag));
  }
}

void VirtualMachine::SetPaused(bool paused) { SetAttention(kAttendPause, paused); }

void VirtualMachine::SetDebugging(bool debugging) { SetAttention(kAttendDebug, debugging); }

// ---- Linking. ----

void VirtualMachine::Unlink() {
  code_ = nullptr;
  main_entry_ = nullptr;
}

void VirtualMachine::Link(InstructionList& code) {
  Unlink();
  MachineOps::Link(*this, code, nullptr);
  Adopt(code);
}

void VirtualMachine::Relink(InstructionList& code) {
  Unlink();
  MachineOps::Rebind(*this, code);
  Adopt(code);
}

void VirtualMachine::Adopt(InstructionList& code) {
  code_ = &code;
  if (IsRunning()) return;
  // The globals of newly linked code start Unassigned (Empty), and keep
  // their values from run to run from then on.
  const int globals = GlobalCountOf(code);
  for (int i = 0; i < globals; ++i) base_[i].Clear();
  if (null_from_ < globals) null_from_ = globals;
}

void VirtualMachine::LinkFrameCode(InstructionList& code) { MachineOps::Link(*this, code, code_); }

struct VirtualMachine::Registers {
  Variant* sp;
  Variant* bp;
  Variant* out;
  Variant* arg_base;
  int cursor;
  Variant* input_base;
  Variant* index_base;
  int arg_count;
  int index_count;
  Instruction* current;
  Instruction* next;
  Instruction* routine_entry;
  TObject* current_object;
  HostClass* current_class;
};

VirtualMachine::Registers VirtualMachine::SaveRegisters() const {
  return {sp_,
          bp_,
          out_,
          arg_base_,
          cursor_,
          input_base_,
          index_base_,
          arg_count_,
          index_count_,
          current_,
          next_,
          routine_entry_,
          current_object_,
          current_class_};
}

void VirtualMachine::RestoreRegisters(const Registers& r) {
  sp_ = r.sp;
  bp_ = r.bp;
  out_ = r.out;
  arg_base_ = r.arg_base;
  cursor_ = r.cursor;
  input_base_ = r.input_base;
  index_base_ = r.index_base;
  arg_count_ = r.arg_count;
  index_count_ = r.index_count;
  current_ = r.current;
  next_ = r.next;
  routine_entry_ = r.routine_entry;
  current_object_ = r.current_object;
  current_class_ = r.current_class;
}

// ---- Running. ----

void VirtualMachine::Halt() {
  // Under the lock a run cannot end between the test and the flags, which
  // would leave a halt pending for the next run.
  std::lock_guard<std::mutex> lock(run_state_mutex_);
  if (!IsRunning()) return;
  halting_.store(true, std::memory_order_release);
  SetAttention(kAttendHalt, true);
  SetAttention(kAttendPause, false);
}

void VirtualMachine::Clear() {
  // Globals start Unassigned; the next run sets the slots above them to
  // Null. Slots from null_from_ up are Null already and stay so: a page
  // run again and again clears only what its last run used.
  for (int i = 0; i < null_from_; ++i) base_[i].Clear();
  std::lock_guard<std::mutex> lock(run_state_mutex_);
  halting_.store(false);
  attention_.store(0);
  global_count_ = 0;
}

void VirtualMachine::NullAboveGlobals(int top) {
  Variant* slot = base_ + global_count_;
  Variant* const end = base_ + top;
  // Nearly all of them are Null already (a run uses few): eight are tested
  // with one branch.
  constexpr auto kNull = static_cast<unsigned>(VariantType::kNull);
  for (; end - slot >= 8; slot += 8) {
    unsigned other = 0;
    for (int k = 0; k < 8; ++k) other |= static_cast<unsigned>(slot[k].Type()) ^ kNull;
    if (other == 0) continue;
    for (int k = 0; k < 8; ++k) {
      if (!slot[k].IsNull()) slot[k].SetNull();
    }
  }
  for (; slot < end; ++slot) {
    if (!slot->IsNull()) slot->SetNull();
  }
  null_from_ = global_count_;
}

Instruction* VirtualMachine::FindEntry(std::string_view routine) const {
  if (routine.empty()) return main_entry_;
  for (Instruction& instruction : *code_) {
    if (instruction.Op == opPrepare && EqualsIgnoreCase(instruction.S, routine)) {
      return &instruction;
    }
  }
  throw ScriptRuntimeError(Format("Subroutine '%s' does not exist in script", {routine}));
}

int VirtualMachine::GlobalCountOf(const InstructionList& code) {
  const int count = (!code.empty() && code[0].Op == opGlobalPrepare) ? code[0].A : 0;
  return count < 0 || count > kStackSize ? 0 : count;
}

// Clears the slots above the globals and runs the code before the first
// routine entry: the global preparation and the jump to the main block.
void VirtualMachine::PrepareOutermost() {
  InstructionList& code = *code_;
  global_count_ = GlobalCountOf(code);
  // Every run ends by setting the slots above the globals to Null; only
  // slots that were globals of other code before need it now.
  if (null_from_ > global_count_) NullAboveGlobals(null_from_);
  // A slot written since the last run (Slot) keeps the end where it is, so
  // that this run's end clears it.
  stack_end_ = std::max(stack_end_, base_ + std::min(kStackSize, global_count_ + kFirstStackSlots));
  sp_ = bp_ = out_ = arg_base_ = base_;
  cursor_ = 0;
  main_entry_ = nullptr;
  Instruction* instruction = code.empty() ? nullptr : &code[0];
  while (instruction != nullptr && instruction->Op != opPrepare &&
         !(attention_.load(std::memory_order_relaxed) & kAttendHalt)) {
    current_ = instruction;
    next_ = instruction->Next;
    instruction->Handler(*this, *instruction);
    instruction = next_;
  }
  main_entry_ = instruction;
}

std::vector<Variant> VirtualMachine::ArgumentsOf(const Variant& input) {
  const Variant& value = input.Dereference();
  if (value.Type() == VariantType::kNull || value.Type() == VariantType::kUnassigned) return {};
  if (value.Type() != VariantType::kArray) return {value};
  const VariantArray& array = value.ArrayValue();
  return std::vector<Variant>(array.Elements().begin(),
                              array.Elements().begin() + static_cast<long>(array.ElementCount()));
}

Variant VirtualMachine::Execute(std::string_view routine, const Variant& input) {
  return ExecuteWithArguments(routine, ArgumentsOf(input));
}

Variant VirtualMachine::ExecuteWithArguments(std::string_view routine,
                                             std::span<const Variant> args) {
  if (IsHalting()) {
    throw ScripterFatalError(
        "Script execution is being halted. A new execution can only start after the current "
        "execution finishes.");
  }
  if (code_ == nullptr) throw ScriptInternalError("Script code is not linked");
  bool outermost = executions_ == 0;
  // A nested execution (a host handler running a routine of this script)
  // must hand the running host call its registers back unchanged.
  Registers saved = SaveRegisters();
  last_error_ = {};
  ++executions_;
  if (objects_ != nullptr) objects_->EnterRun();
  if (outermost) {
    std::lock_guard<std::mutex> lock(run_state_mutex_);
    running_.store(true, std::memory_order_release);
  }
  struct EndOfRun {
    VirtualMachine& machine;
    bool outermost;
    const Registers& saved;
    ~EndOfRun() {
      --machine.executions_;
      machine.RestoreRegisters(saved);
      if (machine.objects_ != nullptr) machine.objects_->LeaveRun();
      if (!outermost) return;
      machine.NullAboveGlobals(static_cast<int>(machine.stack_end_ - machine.base_));
      machine.stack_end_ = machine.base_ + std::min(kStackSize, machine.global_count_);
      machine.frame_count_ = 0;
      machine.loop_floor_ = 0;
      machine.current_object_ = nullptr;
      machine.sp_ = machine.base_ + machine.global_count_;
      std::lock_guard<std::mutex> lock(machine.run_state_mutex_);
      machine.attention_.fetch_and(static_cast<uint8_t>(~(kAttendHalt | kAttendPause)));
      machine.halting_.store(false, std::memory_order_release);
      machine.running_.store(false, std::memory_order_release);
    }
  } end_of_run{*this, outermost, saved};

  if (outermost) PrepareOutermost();
  if (attention_.load(std::memory_order_acquire) & kAttendHalt) return Variant::Null();
  Instruction* entry = FindEntry(routine);
  if (entry == nullptr) return Variant::Null();
  if (entry->Op != opPrepare) {
    throw ScriptRuntimeError(
        "Invalid subroutine call. Entry point should be a \"Prepare\" instruction");
  }
  return RunEntry(entry, args);
}

Variant VirtualMachine::RunEntry(Instruction* entry, std::span<const Variant> args) {
  Variant* input_start = sp_;
  for (const Variant& arg : args)
    Push(arg.Type() == VariantType::kReference ? arg : arg.Dereference());
  int argc = static_cast<int>(args.size());
  Variant* routine_end = CallRoutine(entry, argc);
  // What the routine left lies above its locals: a function's result, or
  // nothing for a sub.
  Variant* results = input_start + argc + entry->A;
  long left = routine_end - results;
  Variant result;
  if (left <= 0) {
    result = Variant::Null();
  } else if (left == 1) {
    result = results[0];
  } else {
    result = Variant::ArrayOf(std::vector<Variant>(results, routine_end));
  }
  sp_ = input_start;
  return result;
}

void VirtualMachine::RunFrameCode(InstructionList& code) {
  if (executions_ == 0) throw ScriptInternalError("No routine is running");
  if (frame_code_depth_ >= kMaxFrameCodeDepth) StackOverflow();
  if (code.empty()) return;
  // The frame base stays: the code's local slots are the running routine's.
  const Registers saved = SaveRegisters();
  const size_t depth = frame_count_;
  const size_t saved_floor = loop_floor_;
  struct Restorer {
    VirtualMachine& machine;
    const Registers& saved;
    size_t depth;
    size_t saved_floor;
    ~Restorer() {
      --machine.frame_code_depth_;
      machine.loop_floor_ = saved_floor;
      // Routines the code called and a halt or an error left unfinished.
      machine.UnwindTo(depth);
      machine.RestoreRegisters(saved);
    }
  } restorer{*this, saved, depth, saved_floor};
  ++frame_code_depth_;
  // Its opRet ends this loop, as a routine run by Execute ends its own.
  loop_floor_ = depth;
  next_ = &code.front();
  Run();
}

void VirtualMachine::UnwindTo(size_t depth) {
  if (frame_count_ <= depth) return;
  Restore(frames_[depth]);
  frame_count_ = depth;
}

Variant* VirtualMachine::CallRoutine(Instruction* entry, int argc) {
  const size_t depth = frame_count_;
  const size_t saved_floor = loop_floor_;
  PushFrame(entry, argc);
  loop_floor_ = frame_count_;
  Variant* routine_end;
  try {
    Run();
    routine_end = sp_;
  } catch (...) {
    loop_floor_ = saved_floor;
    UnwindTo(depth);
    throw;
  }
  loop_floor_ = saved_floor;
  // Routines a halt left unfinished are unwound with this one.
  UnwindTo(depth);
  sp_ -= argc;
  return routine_end;
}

// Handles halting, pausing and the debug hook between two instructions.
void VirtualMachine::Attend() {
  uint8_t flags = attention_.load(std::memory_order_acquire);
  if (flags & kAttendDebug) {
    if (on_debug_hook_) on_debug_hook_(*this);
  }
  while ((attention_.load(std::memory_order_acquire) & kAttendPause) && next_ != nullptr &&
         !(attention_.load(std::memory_order_acquire) & kAttendHalt)) {
    if (!on_pause_) break;
    on_pause_(*this);
  }
  if (attention_.load(std::memory_order_acquire) & kAttendHalt) {
    current_ = nullptr;
    next_ = nullptr;
  }
}

void VirtualMachine::RecordLastError(std::string message, const char* class_name,
                                     int help_context) {
  last_error_.Message = std::move(message);
  last_error_.HelpContext = help_context;
  last_error_.ClassName = class_name;
}

void VirtualMachine::RaiseFromInstruction(const std::string& message, const char* class_name,
                                          int help_context) {
  RecordLastError(message, class_name, help_context);
  if (current_ == nullptr) throw InstructionError("Undefined instruction");
  const Instruction& instruction = *current_;
  std::string text = message + " when evaluating instruction " +
                     std::string(OpcodeName(instruction.Op).substr(2)) + " ($" +
                     Hex(static_cast<uint32_t>(instruction.A)) + ",$" + Hex(instruction.B) + ",$" +
                     Hex(static_cast<uint32_t>(instruction.X)) + ",$" +
                     Hex(static_cast<uint32_t>(instruction.Y)) + ",'" + instruction.S +
                     "').\r\nStack content is: [" + StackText() +
                     "].\r\nSource position: " + PositionText(instruction);
  throw InstructionError(std::move(text));
}

std::string VirtualMachine::StackText() const {
  std::string text;
  long used = sp_ - base_;
  for (long i = 1; i <= 4 && i <= used; ++i) {
    if (i > 1) text += ',';
    try {
      // A value of a megabyte would make a message of a megabyte.
      const std::string slot = SlotText(sp_[-i]);
      if (slot.size() <= kStackValueLimit) {
        text += slot;
      } else {
        text.append(slot, 0, kStackValueLimit).append("...");
      }
    } catch (const std::exception&) {
      text += '?';
    }
  }
  if (used > 4) text += "...";
  return text;
}

std::string VirtualMachine::PositionText(const Instruction& instruction) {
  return std::to_string(SourceRow(instruction.P)) + "," +
         std::to_string(SourceColumn(instruction.P));
}

void VirtualMachine::BindClassNamed(Instruction& instruction) const {
  if (host_ == nullptr) return;
  const HostBinding::BoundClass bound = host_->ClassNamed(instruction.S);
  instruction.Class = bound.entry;
  instruction.ClassRef = bound.class_ref;
}

void VirtualMachine::StackOverflow() const { throw MachineRuntimeError("Stack overflow"); }

void VirtualMachine::MakeRoom(std::ptrdiff_t slots) {
  stack_end_ = full_end_;
  if (slots < 0 || stack_end_ - sp_ < slots) StackOverflow();
}

void VirtualMachine::StackUnderflow() const { throw ScriptInternalError("Stack underflow"); }

void VirtualMachine::RunProtected(Instruction& instruction, bool except_part) {
  Variant* saved_sp = sp_;
  const size_t depth = frame_count_;
  const size_t saved_floor = loop_floor_;
  Instruction* const part = instruction.Target;  // The finally or except part.
  Instruction* const code = code_->data();
  const Instruction* const part_end = code + instruction.X;
  // The protected part runs in a loop of its own, until control reaches the
  // other part or leaves by a jump (exit sub, exit for): an opRet of this
  // routine ends that loop, and the routine returns after the finally part.
  loop_floor_ = depth;
  std::exception_ptr error;
  try {
    RunPart(&instruction + 1, code + instruction.A, depth);
  } catch (const InstructionError&) {
    error = std::current_exception();  // Its cause is the last error already.
  } catch (const SilentError&) {
    if (except_part) {
      loop_floor_ = saved_floor;
      throw;  // An abort is not caught; a finally part still runs.
    }
    error = std::current_exception();
  } catch (const Exception& e) {
    RecordLastError(e.Message(), e.ClassName(), e.HelpContext());
    error = std::current_exception();
  } catch (const std::exception& e) {
    RecordLastError(e.what(), "Exception", 0);
    error = std::current_exception();
  }
  loop_floor_ = saved_floor;
  if (attention_.load(std::memory_order_acquire) & kAttendHalt) {
    next_ = nullptr;
    return;
  }
  // Where control goes once the statement is done: after it, the end of
  // the routine (null), or where a jump out of the protected part leads.
  Instruction* destination = instruction.Target2;
  bool routine_ended = false;
  if (error != nullptr) {
    UnwindTo(depth);
    sp_ = saved_sp;
  } else if (next_ == nullptr) {
    routine_ended = true;
  } else if (next_ != part) {
    destination = next_;
  }
  if (except_part && error == nullptr) {
    next_ = destination;
    if (routine_ended) Return();
    return;
  }
  next_ = part;
  loop_floor_ = depth;
  try {
    RunPart(part, part_end, depth);
  } catch (...) {
    loop_floor_ = saved_floor;
    throw;
  }
  loop_floor_ = saved_floor;
  if (error != nullptr && !except_part) std::rethrow_exception(error);
  if (!except_part) last_error_ = {};
  if (next_ == nullptr) {
    routine_ended = true;  // The finally or except part returned.
  } else if (next_ == part_end) {
    next_ = destination;  // The part ended as written.
  }                       // Otherwise the part itself left by a jump, which wins.
  if (routine_ended) Return();
}

// ---- Inside host handlers. ----

void VirtualMachine::RaiseArgumentOutOfRange(int i) {
  throw MachineRuntimeError(Format("Argument index %d is out of range", {i}));
}

std::string VirtualMachine::GetArgAsString(int i) const { return LenientToString(GetArg(i)); }

std::string VirtualMachine::GetArgAsWideString(int i) const { return GetArgAsString(i); }

int32_t VirtualMachine::GetArgAsInteger(int i) const { return LenientToInteger(GetArg(i)); }

bool VirtualMachine::GetArgAsBoolean(int i) const { return GetArgAsInteger(i) != 0; }

double VirtualMachine::GetArgAsFloat(int i) const { return LenientToFloat(GetArg(i)); }

double VirtualMachine::GetArgAsDateTime(int i) const { return GetArg(i).ToDate(); }

const Variant& VirtualMachine::GetIndexArg(int i) const {
  if (i < 0 || i >= index_count_) {
    throw MachineRuntimeError(Format("Argument index %d is out of range", {i}));
  }
  return index_base_[i].Dereference();
}

void VirtualMachine::SetResult(const Variant& value) { *out_ = value.Dereference(); }

void VirtualMachine::SetArgIfByRef(int i, const Variant& value) {
  if (i < 0 || i >= arg_count_) return;
  Variant& slot = input_base_[i];
  if (slot.Type() == VariantType::kReference) *slot.RawReference() = value.Dereference();
}

void VirtualMachine::SetByRefArg(int i, const Variant& value) {
  if (i < 0 || i >= arg_count_ || input_base_[i].Type() != VariantType::kReference) {
    throw MachineRuntimeError(Format("Method expects argument %d as variable reference", {i}));
  }
  *input_base_[i].RawReference() = value.Dereference();
}

TObject* VirtualMachine::ObjectOfOther(const Variant& value) const {
  if (value.IsObjectHandle()) {
    if (objects_ == nullptr) throw ScriptRuntimeError("Invalid object reference");
    return objects_->Resolve(value.RawObjectHandle());
  }
  if (value.Type() == VariantType::kInteger && objects_ != nullptr &&
      ObjectTable::IsHandleNumber(value.RawInteger())) {
    return objects_->Resolve(static_cast<uint32_t>(value.RawInteger()));
  }
  return nullptr;
}

std::string_view VirtualMachine::CurrentMemberName() const {
  return current_ != nullptr ? std::string_view(current_->S) : std::string_view();
}

}  // namespace vantrel
