// Splits a request URI (without its query) into protocol, host, port,
// path, document name and fragment.
//
// "\" counts as "/". "scheme://host:port/" in front is split off; the path
// is everything up to and including the last "/" and always begins with
// "/"; the document name is the rest, cut at its first "#" (the fragment).
// Nothing is percent-decoded.
#ifndef VANTREL_HTTP_URI_H_
#define VANTREL_HTTP_URI_H_

#include <string>
#include <string_view>

namespace vantrel {

class Uri {
 public:
  explicit Uri(std::string_view text);

  std::string Protocol;  // "" without "://".
  std::string Host;
  std::string Port;      // As written; "" when none.
  std::string Path;      // Begins with "/", ends with "/".
  std::string Document;  // Document name, without fragment.
  std::string Bookmark;  // The fragment after "#", without it.
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_URI_H_
