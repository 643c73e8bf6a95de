// Content types for file names, looked up by extension.
//
// Two lists map an extension with its dot (".html", names ignoring ASCII
// case) to a type: list A from the system's per-extension type file
// (/etc/mime.types), list B from the shared MIME database's glob file
// (/usr/share/mime/globs2). When neither file exists, a compiled-in list of
// common web types stands in for list B. A lookup asks A, then B, and
// answers "application/octet-stream" when neither knows the extension.
//
// The table is filled when it is created. A miss in list A may refill both
// lists from their files, but at most once per kRefillInterval and only
// when a file changed since it was read, so misses cost no file reads
// between those moments.
//
// Thread safety: every member may be called from any thread; lookups run
// concurrently, filling excludes them.
#ifndef VANTREL_HTTP_MIME_TABLE_H_
#define VANTREL_HTTP_MIME_TABLE_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vantrel {

class MimeTable {
 public:
  static constexpr char kDefaultMimeType[] = "application/octet-stream";
  static constexpr char kSystemTypesFile[] = "/etc/mime.types";
  static constexpr char kSystemGlobsFile[] = "/usr/share/mime/globs2";
  // The shortest time between two refills caused by misses.
  static constexpr std::chrono::seconds kRefillInterval{60};

  // Fills the table from the system's files.
  MimeTable();
  // Fills the table from `types_file` (list A, mime.types format: "type
  // ext ext ...") and `globs_file` (list B, globs2 format:
  // "weight:type:*.ext"). Either may be missing.
  MimeTable(std::string types_file, std::string globs_file);
  MimeTable(const MimeTable&) = delete;
  MimeTable& operator=(const MimeTable&) = delete;

  // The content type for `file_name` (a path or a bare name): by the
  // extension of its last path segment, including the dot; names without
  // an extension get "application/octet-stream".
  std::string GetFileMIMEType(std::string_view file_name);

  // Rereads both files now. The lists are not cleared: entries read
  // replace entries of the same extension, others stay.
  void Fill();

  // Sets list A's entry for `extension` (with its dot) to `mime_type`.
  void AddMimeType(std::string_view extension, std::string_view mime_type);

  // The extension of `file_name` with its dot, as looked up ("" for none).
  static std::string_view ExtensionOf(std::string_view file_name);

 private:
  using List = std::unordered_map<std::string, std::string>;  // Lower-cased extension -> type.

  // On a miss: refills when kRefillInterval has passed since the last
  // check and a file changed. Returns whether it refilled.
  bool MaybeRefill();

  const std::string types_file_;  // Never changes.
  const std::string globs_file_;  // Never changes.
  mutable std::shared_mutex mutex_;
  List list_a_;  // Guarded by mutex_.
  List list_b_;  // Guarded by mutex_.
  // Modification times (ns) of the files at the last fill; 0 for a missing
  // file. Guarded by mutex_.
  std::int64_t types_mtime_ = 0;
  std::int64_t globs_mtime_ = 0;
  // Steady-clock ticks before which misses do not look at the files; the
  // miss that moves it on does the check.
  std::atomic<std::chrono::steady_clock::rep> next_check_{0};
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_MIME_TABLE_H_
