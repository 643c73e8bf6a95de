#include "app/compiled_page_cache.h"

#include <algorithm>
#include <utility>

namespace vantrel {
namespace {

// About what an entry takes: its texts, and its code, whose strings are
// mostly the page's literal text again.
std::size_t EstimatedBytes(const std::string& page_bytes, const StringList& program,
                           const CompiledCode& code) {
  std::size_t bytes = sizeof(CompiledPageCache::Entry) + page_bytes.size();
  for (std::size_t i = 0; i < program.Count(); ++i)
    bytes += sizeof(std::string) + program[i].size();
  bytes += code.Instructions.size() * sizeof(Instruction);
  for (const Instruction& instruction : code.Instructions) bytes += instruction.S.size();
  for (const RoutineInfo& routine : code.Info.Routines) {
    bytes += sizeof routine + routine.Variables.size() * sizeof(VariableInfo);
  }
  bytes += code.Info.Globals.size() * sizeof(VariableInfo);
  return bytes;
}

// True when `a` and `b` hold the same instructions, as compiled.
bool SameInstructions(const InstructionList& a, const InstructionList& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const Instruction& x, const Instruction& y) {
                      return x.Op == y.Op && x.A == y.A && x.B == y.B && x.F == y.F && x.N == y.N &&
                             x.X == y.X && x.Y == y.Y && x.P == y.P && x.S == y.S;
                    });
}

}  // namespace

const CompiledPageCache::Entry* CompiledPageCache::Find(const std::string& path,
                                                        std::string_view page_bytes,
                                                        const CompileConditions& conditions) {
  const auto found = by_path_.find(path);
  if (found == by_path_.end()) return nullptr;
  const Entries::iterator entry = found->second;
  if (entry->second.page_bytes != page_bytes || !(entry->second.conditions == conditions)) {
    Drop(entry);
    return nullptr;
  }
  entries_.splice(entries_.begin(), entries_, entry);
  return &entry->second;
}

void CompiledPageCache::Store(const std::string& path, std::string page_bytes, StringList program,
                              CompiledCode code, const CompileConditions& conditions) {
  if (const auto found = by_path_.find(path); found != by_path_.end()) Drop(found->second);
  const std::size_t bytes = EstimatedBytes(page_bytes, program, code);
  if (bytes > max_bytes_) return;
  while (bytes_ + bytes > max_bytes_) Drop(std::prev(entries_.end()));
  entries_.emplace_front(
      path, Entry{std::move(page_bytes), std::move(program), std::move(code), conditions, bytes,
                  /*linked=*/false, ++stored_});
  by_path_.emplace(path, entries_.begin());
  bytes_ += bytes;
}

const CompiledPageCache::Entry* CompiledPageCache::KeepLinked(const std::string& path,
                                                              const CompiledCode& linked) {
  const auto found = by_path_.find(path);
  if (found == by_path_.end()) return nullptr;
  Entry& entry = found->second->second;
  if (entry.linked || !SameInstructions(entry.code.Instructions, linked.Instructions)) {
    return &entry;
  }
  // Linking gives every literal a value of its own, and a run keeps what
  // each constant text made: mostly the page's text again.
  std::size_t constants = 0;
  for (const Instruction& instruction : linked.Instructions) {
    if (instruction.Constant.IsString()) constants += instruction.Constant.StringView().size();
  }
  if (bytes_ + constants > max_bytes_) return &entry;
  entry.code = linked;
  RebaseLinks(entry.code.Instructions, linked.Instructions.data());
  entry.linked = true;
  entry.bytes += constants;
  bytes_ += constants;
  return &entry;
}

void CompiledPageCache::Drop(Entries::iterator entry) {
  bytes_ -= entry->second.bytes;
  by_path_.erase(entry->first);
  entries_.erase(entry);
}

}  // namespace vantrel
