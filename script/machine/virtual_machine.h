// The stack machine that runs compiled scripts.
//
// One machine belongs to one script's instruction list. It has a fixed stack
// of kStackSize variant slots: globals at the bottom (absolute slots), then a
// frame per running routine (arguments just below the frame base, locals from
// it). Code is linked once (Link) and then run from the main block or a named
// routine (Execute); host handlers are called with the machine and read their
// arguments and set their result through the accessors below.
//
// Objects a script creates belong to the scripter's ObjectTable, which the
// machine resolves handles through (ObjectOf) and counts its runs in, so
// that the end of the outermost run destroys what the scripts forgot.
//
// Threads: a machine runs on the thread that called Execute. Halt and
// IsRunning may be called from any thread; nothing else may be called while
// a run is under way except from that run's own handlers.
#ifndef VANTREL_SCRIPT_MACHINE_VIRTUAL_MACHINE_H_
#define VANTREL_SCRIPT_MACHINE_VIRTUAL_MACHINE_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "script/machine/instruction.h"
#include "script/values/tobject.h"
#include "script/values/variant.h"

namespace vantrel {

class Exception;
class HostBinding;
class HostClass;
class ObjectTable;

// A TObject so that scripts can hold the machine running them (the system
// library's `Machine`).
class VirtualMachine : public TObject {
 public:
  static constexpr int kStackSize = 3000;
  // Script routine calls nested deeper than this raise "Stack overflow", so
  // that endless recursion ends in a runtime error and not in a crash.
  static constexpr int kMaxCallDepth = 1000;
  // Linked code may address locals from this many slots below a frame base
  // (arguments) up to kStackSize above it. The stack is allocated with that
  // much room around it, so that no slot operand can reach outside the
  // machine's memory even in broken code.
  static constexpr int kArgumentGuard = 256;
  // A run's stack ends this many slots above its globals until the run
  // needs more; only the slots below that end are cleared when it ends.
  static constexpr int kFirstStackSlots = 256;

  struct LastError {
    std::string Message;
    int HelpContext = 0;
    std::string ClassName;
  };

  VirtualMachine();
  VirtualMachine(const VirtualMachine&) = delete;
  VirtualMachine& operator=(const VirtualMachine&) = delete;
  ~VirtualMachine() override;

  // ---- Set up by the scripter. ----

  // What linking resolves classes, default instances and host members
  // against. Must outlive the machine's use of linked code.
  void SetHost(const HostBinding* host) { host_ = host; }
  const HostBinding* Host() const { return host_; }
  // The table of the objects scripts create; must outlive the machine's
  // runs. Without one, handles resolve to nothing ("Invalid object
  // reference").
  void SetObjects(ObjectTable* objects) { objects_ = objects; }
  ObjectTable* Objects() const { return objects_; }
  // Called repeatedly while the pause flag is set.
  void SetOnPause(std::function<void(VirtualMachine&)> handler);
  // Called after every instruction while the debug flag is set, and by
  // opBreakPoint.
  void SetOnDebugHook(std::function<void(VirtualMachine&)> hook);
  // Shows a message to the user (opExecFun).
  void SetOnMessage(std::function<void(std::string_view)> handler);

  // Binds `code` for running: numbers the instructions, binds each to its
  // opcode's handler, turns jump targets and routine entries into
  // instruction references, resolves classes, default instances and packed
  // member references. Raises ScriptInternalError for code that refers
  // outside itself. The list must not change size while linked. The
  // code's globals start Unassigned (not when linking during a run).
  void Link(InstructionList& code);
  // Links code that is a copy of code linked before on a machine with the
  // same host (its references rebased, RebaseLinks): binds again only what
  // linking takes from the host, which may have changed since, and leaves
  // the rest of the link as it was. The code's globals start Unassigned, as
  // with Link.
  void Relink(InstructionList& code);
  bool Linked() const { return code_ != nullptr; }
  void Unlink();

  // ---- Running. ----

  // Runs the main block (empty name) or the named routine with `input`:
  // nothing for Null or Unassigned, the elements of an array, else the value
  // itself. Returns Null when the routine left no value, the value when it
  // left one, an array of them when it left several.
  Variant Execute(std::string_view routine, const Variant& input);
  // The arguments `input` stands for in Execute.
  static std::vector<Variant> ArgumentsOf(const Variant& input);
  // The same with an explicit argument list; a reference argument is passed
  // by reference.
  Variant ExecuteWithArguments(std::string_view routine, std::span<const Variant> args);

  // Stops the run after the instruction in progress. Any thread.
  void Halt();
  bool IsRunning() const { return running_.load(std::memory_order_acquire); }
  bool IsHalting() const { return halting_.load(std::memory_order_acquire); }
  void SetPaused(bool paused);
  void SetDebugging(bool debugging);

  // Sets every slot that is not Null to Unassigned (the globals of the
  // script start so; the next run sets the slots above them to Null) and
  // ends the halt state.
  void Clear();

  const LastError& GetLastError() const { return last_error_; }

  // ---- Frame code: code compiled to run inside the routine running now
  // (the system library's Interpret). It runs on that routine's frame, so
  // its local slots are the routine's arguments and locals; its own
  // variables lie from FreeSlot() up, which its opPrepare reserves. ----

  // The first slot above the running routine's frame base that nothing
  // uses now, relative to the frame base.
  int FreeSlot() const { return static_cast<int>(sp_ - bp_); }
  // Links `code` as Link does, while the machine's own code stays linked;
  // an opCall flagged kFlagEnclosingEntry enters the routine at instruction
  // A of the machine's own code. Raises ScriptInternalError as Link does.
  void LinkFrameCode(InstructionList& code);
  // Runs linked frame code from its first instruction, from inside a host
  // handler of a run (ScriptInternalError "No routine is running"
  // otherwise); returns when it ends, is halted or raises, with every
  // register as it was. Frame code nested deeper than kMaxFrameCodeDepth
  // raises "Stack overflow".
  void RunFrameCode(InstructionList& code);
  static constexpr int kMaxFrameCodeDepth = 32;

  // ---- Inside host handlers. ----

  int ArgCount() const { return arg_count_; }
  // Inline: handlers read their arguments on every call.
  const Variant& GetArg(int i) const {
    if (i < 0 || i >= arg_count_) [[unlikely]]
      RaiseArgumentOutOfRange(i);
    return input_base_[i].Dereference();
  }
  std::string GetArgAsString(int i) const;
  std::string GetArgAsWideString(int i) const;
  int32_t GetArgAsInteger(int i) const;
  bool GetArgAsBoolean(int i) const;
  double GetArgAsFloat(int i) const;
  double GetArgAsDateTime(int i) const;
  // Index argument i of an indexed property (Items[i]).
  const Variant& GetIndexArg(int i) const;
  int IndexArgCount() const { return index_count_; }
  void SetResult(const Variant& value);
  void SetArgIfByRef(int i, const Variant& value);
  // Raises "Method expects argument %d as variable reference" for a value
  // argument.
  void SetByRefArg(int i, const Variant& value);
  TObject* CurrentObject() const { return current_object_; }
  // The object `value` holds (through a reference): a host object, the
  // object of a handle, or that of an integer carrying a handle; null for
  // none and for any other value. A handle of a freed object raises
  // ScriptRuntimeError "Object has been freed", one that names no object
  // "Invalid object reference".
  TObject* ObjectOf(const Variant& value) const {
    const Variant& v = value.Dereference();
    if (v.Type() == VariantType::kObject && !v.IsObjectHandle()) return v.RawObject();
    return ObjectOfOther(v);
  }
  HostClass* CurrentClass() const { return current_class_; }
  std::string_view CurrentMemberName() const;

  // ---- State, for the scripter's variable access and for debugging. ----

  // A slot handed out may be written: a slot at or above the stack's
  // current end counts as used from then on (see stack_end_).
  Variant& Slot(int index) {
    if (base_ + index >= stack_end_) stack_end_ = full_end_;
    return base_[index];
  }
  // The running routine's frame base (slot index) and entry instruction.
  int FrameBase() const { return static_cast<int>(bp_ - base_); }
  const Instruction* RoutineEntry() const { return routine_entry_; }
  const Instruction* CurrentInstruction() const { return current_; }
  // Used by the late-bound handlers, which find the member at run time.
  void SetCurrentClass(HostClass* entry) { current_class_ = entry; }

  const ClassInfo& ClassType() const override { return kClassInfo; }
  static const ClassInfo kClassInfo;

 private:
  friend struct MachineOps;

  [[noreturn]] static void RaiseArgumentOutOfRange(int i);

  // The registers saved around a routine call.
  struct Frame {
    Variant* sp;
    Variant* bp;
    Variant* arg_base;
    Variant* out;
    int cursor;
    Instruction* routine_entry;
    Instruction* next;
    int argc;
  };

  Variant RunEntry(Instruction* entry, std::span<const Variant> args);
  void PrepareOutermost();
  // Makes linked `code` the machine's code, its globals Unassigned unless
  // a run is going on.
  void Adopt(InstructionList& code);
  // The number of globals `code` reserves.
  static int GlobalCountOf(const InstructionList& code);
  Instruction* FindEntry(std::string_view routine) const;
  // Calls the routine at `entry` with the `argc` values on top of the stack
  // as its arguments; returns the stack top the routine ended with.
  Variant* CallRoutine(Instruction* entry, int argc);
  // A call from script code (opCall): saves the caller's registers in a new
  // frame and continues at `entry` in the same run loop.
  void PushFrame(Instruction* entry, int argc) {
    if (frame_count_ >= static_cast<size_t>(kMaxCallDepth)) [[unlikely]]
      StackOverflow();
    out_ = sp_ + entry->A;
    frames_[frame_count_++] = {sp_, bp_, arg_base_, out_, cursor_, routine_entry_, next_, argc};
    arg_base_ = sp_ - argc;
    cursor_ = 0;
    bp_ = sp_;
    next_ = entry;
  }
  // opRet: back to the caller, or the end of the run loop when the routine
  // is the one the loop was started for.
  void Return() {
    if (frame_count_ <= loop_floor_) {
      // The routine this run loop was started for: the loop ends.
      next_ = nullptr;
      return;
    }
    const Frame& frame = frames_[--frame_count_];
    Restore(frame);
    sp_ -= frame.argc;
  }
  // Drops the frames above `depth`, restoring the registers of the routine
  // that was running when frame `depth` was pushed.
  void UnwindTo(size_t depth);
  void Restore(const Frame& frame) {
    sp_ = frame.sp;
    bp_ = frame.bp;
    arg_base_ = frame.arg_base;
    out_ = frame.out;
    cursor_ = frame.cursor;
    routine_entry_ = frame.routine_entry;
    // A halt ends every routine on the way out.
    next_ = (attention_.load(std::memory_order_relaxed) & kAttendHalt) ? nullptr : frame.next;
  }
  // Runs from next_ while `keep_going()` holds and next_ is not null;
  // errors other than runtime errors become runtime errors naming the
  // instruction.
  template <typename KeepGoing>
  void RunWhile(KeepGoing keep_going);
  // Runs from next_ until next_ is null.
  void Run();
  // Runs the part [begin, end) of a protected statement of the routine of
  // frame depth `depth`: until next_ is null or leaves that range in that
  // routine (calls in between run on).
  void RunPart(const Instruction* begin, const Instruction* end, size_t depth);
  void Attend();
  // Sets the slots above the globals and below `top` to Null (releasing
  // what they hold); those from `top` up must be Null already.
  void NullAboveGlobals(int top = kStackSize);
  void SetAttention(uint8_t flag, bool on);
  // Records `message` as the last error and raises the runtime error that
  // names the current instruction, the stack and the source position.
  [[noreturn]] void RaiseFromInstruction(const std::string& message, const char* class_name,
                                         int help_context = 0);
  void RecordLastError(std::string message, const char* class_name, int help_context);
  TObject* ObjectOfOther(const Variant& value) const;
  // The top four stack values as a runtime error shows them, each cut after
  // kStackValueLimit characters (then "...").
  static constexpr std::size_t kStackValueLimit = 40;
  std::string StackText() const;
  static std::string PositionText(const Instruction& instruction);
  // Resolves the class an instruction names by S, once (opPushClass and
  // opCastClass of code compiled before the class was registered).
  void BindClassNamed(Instruction& instruction) const;

  [[noreturn]] void StackOverflow() const;
  // Called when fewer than `slots` slots lie between sp_ and stack_end_:
  // moves stack_end_ to the full end, and raises "Stack overflow" should
  // that not make room.
  void MakeRoom(std::ptrdiff_t slots);
  [[noreturn]] void StackUnderflow() const;
  // Raises unless at least `count` values lie on the stack.
  void Need(int count) const {
    if (sp_ - base_ < count) [[unlikely]]
      StackUnderflow();
  }
  // Calls the host handler of `instruction` with the arguments already set
  // up; its result goes to `out`. Inline: it is most of what a host call
  // costs the machine.
  void CallHost(Instruction& instruction, Variant* out, TObject* instance, HostClass* entry) {
    out_ = out;
    out->SetNull();
    Variant* resume = sp_;
    // Anything the handler runs in this machine stays above the call's
    // arguments and result.
    sp_ = out + 1;
    current_object_ = instance;
    current_class_ = entry;
    instruction.Host(*this);
    sp_ = resume;
  }
  // opTryFinally (`except_part` false) and opTryExcept.
  void RunProtected(Instruction& instruction, bool except_part);
  // State that a nested execution from inside a host handler must leave as
  // it found it.
  struct Registers;
  Registers SaveRegisters() const;
  void RestoreRegisters(const Registers& registers);
  void Push(const Variant& value) {
    if (sp_ >= stack_end_) [[unlikely]]
      MakeRoom(1);
    *sp_++ = value;
  }
  void Push(Variant&& value) {
    if (sp_ >= stack_end_) [[unlikely]]
      MakeRoom(1);
    *sp_++ = std::move(value);
  }

  // The registers. Slot pointers point into stack_.
  std::unique_ptr<Variant[]> stack_;  // The allocation, guard zones included.
  Variant* base_;                     // Slot 0.
  // Where the stack ends for now: kFirstStackSlots above the globals at
  // the start of a run, full_end_ once the run (or a slot handed out by
  // Slot) has needed more. No slot from here up has been written since the
  // stack was last cleared.
  Variant* stack_end_;
  Variant* const full_end_;         // base_ + kStackSize.
  Variant* sp_;                     // Next free slot.
  Variant* bp_;                     // Frame base of the running routine.
  Variant* out_;                    // Where the last call left its result.
  Variant* arg_base_;               // The running routine's first argument.
  int cursor_ = 0;                  // Next argument for opStoreInput.
  Variant* input_base_;             // First argument of the running host call.
  Variant* index_base_;             // First index argument of the running host call.
  int arg_count_ = 0;               // Arguments of the running host call.
  int index_count_ = 0;             // Index arguments of the running host call.
  Instruction* current_ = nullptr;  // The instruction running now.
  Instruction* next_ = nullptr;     // The one to run after it; null ends the routine.
  Instruction* routine_entry_ = nullptr;
  TObject* current_object_ = nullptr;
  HostClass* current_class_ = nullptr;
  TObject* with_instance_ = nullptr;  // Set by opWithObject for the next host call.
  bool has_with_instance_ = false;
  // One per running script routine call: frames_[0, frame_count_) are in
  // use. A fixed array of kMaxCallDepth, so that a call allocates nothing.
  std::unique_ptr<Frame[]> frames_;
  size_t frame_count_ = 0;
  size_t loop_floor_ = 0;     // frame_count_ when the innermost run loop began.
  int executions_ = 0;        // Nested Execute calls; 0 when idle.
  int frame_code_depth_ = 0;  // Nested RunFrameCode calls.
  int global_count_ = 0;

  InstructionList* code_ = nullptr;  // The linked code; not owned.
  Instruction* main_entry_ = nullptr;
  const HostBinding* host_ = nullptr;  // Not owned.
  ObjectTable* objects_ = nullptr;     // Not owned; may be null.
  LastError last_error_;

  // Read between instructions; set from any thread. Bits: kAttendHalt,
  // kAttendPause, kAttendDebug.
  static constexpr uint8_t kAttendHalt = 1;
  static constexpr uint8_t kAttendPause = 2;
  static constexpr uint8_t kAttendDebug = 4;
  std::atomic<uint8_t> attention_{0};
  // Written under run_state_mutex_ (read without it): Halt must not set a
  // halt for a run that has just ended.
  std::atomic<bool> running_{false};
  std::atomic<bool> halting_{false};
  std::mutex run_state_mutex_;
  // Every slot from here up to the top of the stack is Null.
  int null_from_ = kStackSize;

  std::function<void(VirtualMachine&)> on_pause_;
  std::function<void(VirtualMachine&)> on_debug_hook_;
  std::function<void(std::string_view)> on_message_;
};

inline const ClassInfo VirtualMachine::kClassInfo = {"VirtualMachine", &TObject::kClassInfo, {}};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_MACHINE_VIRTUAL_MACHINE_H_
