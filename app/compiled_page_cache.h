// The compiled programs of script pages, kept so that a page whose file has
// not changed runs again without being translated and compiled: for a small
// page, compiling costs more than running.
//
// An entry belongs to a page file's path and holds the file's bytes, the
// program they were translated into and the code compiled from it, with the
// scripter's compile conditions after that compile. It is used only while
// the file holds the same bytes (a page rewritten within one
// tick of the file clock must not run its old program), and the conditions
// are the same (a library attached or detached since then could change
// what the program's names mean). Only pages that compiled are kept: one
// with a compile error is compiled, and reported, on every request.
//
// The entries hold at most MaxBytes (an estimate of the memory the text and
// code take); the least recently used go first, and a page larger than
// the whole bound is not kept.
//
// Threads: used by the script page runner, on the thread of the one page
// running at a time (the script page gate); not guarded.
#ifndef VANTREL_APP_COMPILED_PAGE_CACHE_H_
#define VANTREL_APP_COMPILED_PAGE_CACHE_H_

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/string_list.h"
#include "script/machine/script_info.h"
#include "script/scripter/custom_scripter.h"

namespace vantrel {

class CompiledPageCache {
 public:
  static constexpr std::size_t kDefaultMaxBytes = std::size_t{32} << 20;

  struct Entry {
    std::string page_bytes;
    StringList program;
    CompiledCode code;
    CompileConditions conditions;
    std::size_t bytes = 0;
    bool linked = false;  // `code` is linked (KeepLinked).
    // Tells entries apart over the cache's life, even where a dropped
    // entry's memory is used again.
    std::uint64_t serial = 0;
  };

  explicit CompiledPageCache(std::size_t max_bytes = kDefaultMaxBytes) : max_bytes_(max_bytes) {}
  CompiledPageCache(const CompiledPageCache&) = delete;
  CompiledPageCache& operator=(const CompiledPageCache&) = delete;

  // The entry of `path` when it was made from `page_bytes` under
  // `conditions`; null otherwise (an entry that no longer matches is
  // dropped).
  const Entry* Find(const std::string& path, std::string_view page_bytes,
                    const CompileConditions& conditions);
  // Keeps `code`, compiled from `program` (the translation of `page_bytes`)
  // under `conditions`, as the entry of `path`, replacing the one it had.
  void Store(const std::string& path, std::string page_bytes, StringList program, CompiledCode code,
             const CompileConditions& conditions);

  // Replaces the code of the entry of `path` by `linked`, the same code as
  // a run linked it, so that later runs only bind again what linking takes
  // from the host (Script::LoadLinkedCode). Nothing changes when there is
  // no such entry, its code is linked already, `linked` is other code, or
  // the bound leaves no room for the constants linking made. Returns the
  // entry of `path`, or null.
  const Entry* KeepLinked(const std::string& path, const CompiledCode& linked);

  std::size_t MaxBytes() const { return max_bytes_; }
  std::size_t Bytes() const { return bytes_; }
  int Count() const { return static_cast<int>(entries_.size()); }

 private:
  using Entries = std::list<std::pair<std::string, Entry>>;  // Most recently used first.

  void Drop(Entries::iterator entry);

  const std::size_t max_bytes_;
  std::size_t bytes_ = 0;
  std::uint64_t stored_ = 0;  // Entries stored so far: the last serial.
  Entries entries_;
  std::unordered_map<std::string, Entries::iterator> by_path_;
};

}  // namespace vantrel

#endif  // VANTREL_APP_COMPILED_PAGE_CACHE_H_
