// Where a requested document lies on disk, and whether it stays inside the
// web directory.
#ifndef VANTREL_APP_DOCUMENT_PATH_H_
#define VANTREL_APP_DOCUMENT_PATH_H_

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// The full path of `document` below `web_directory` (an absolute path):
// both "/" and "\" separate segments, empty and "." segments are dropped,
// and ".." removes the segment before it (never climbing above the root).
// The document "/" maps to the web directory itself. The document is not
// percent-decoded: "/a%20b.html" names the file "a%20b.html".
std::string MapDocumentPath(std::string_view web_directory, std::string_view document);

// The segments of `full_path` below `web_directory` ("/w/a/b.php" below
// "/w" gives "a", "b.php"); none when it is not below it.
std::vector<std::string_view> SegmentsBelow(std::string_view web_directory,
                                            std::string_view full_path);

// The PHP script a document runs, and the path info that follows it.
struct PhpScript {
  std::string full_path;  // The script's file.
  std::string document;   // Its document: "/app.php" of "/app.php/some/page".
  std::string path_info;  // What follows it: "/some/page"; empty when nothing does.
};

// The script of `document` once normalised (MapDocumentPath): its first
// segment whose name ends in ".php" (letters in any case) where the path up
// to it is a regular file (`is_file`), and what follows as path info.
// Nothing when there is none, or when the document leaves the web
// directory. So "/x.php/../log.txt", which normalises to "/log.txt", runs
// nothing.
std::optional<PhpScript> FindPhpScript(std::string_view web_directory, std::string_view document,
                                       const std::function<bool(const std::string&)>& is_file);

// True when `document` holds a byte below 32 or the byte 127: no file of
// the web directory is named so, and a NUL would end the name early for
// every program the path is handed to.
bool HoldsControlByte(std::string_view document);

// True when `full_path` lies below `web_directory`: it begins with the web
// directory's path and a "/" (compared exactly: file names on this system
// are case-sensitive).
bool IsInsideWebDirectory(std::string_view web_directory, std::string_view full_path);

}  // namespace vantrel

#endif  // VANTREL_APP_DOCUMENT_PATH_H_
