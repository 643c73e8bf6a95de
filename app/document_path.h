// Where a requested document lies on disk, and whether it stays inside the
// web directory.
#ifndef VANTREL_APP_DOCUMENT_PATH_H_
#define VANTREL_APP_DOCUMENT_PATH_H_

#include <string>
#include <string_view>

namespace vantrel {

// The full path of `document` below `web_directory` (an absolute path):
// both "/" and "\" separate segments, empty and "." segments are dropped,
// and ".." removes the segment before it (never climbing above the root).
// The document "/" maps to the web directory itself. The document is not
// percent-decoded: "/a%20b.html" names the file "a%20b.html".
std::string MapDocumentPath(std::string_view web_directory, std::string_view document);

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
