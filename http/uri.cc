#include "http/uri.h"

#include <algorithm>

namespace vantrel {

Uri::Uri(std::string_view text) {
  std::string rest(text);
  std::replace(rest.begin(), rest.end(), '\\', '/');

  std::size_t start = 0;
  const std::size_t scheme_end = rest.find("://");
  if (scheme_end != std::string::npos) {
    Protocol = rest.substr(0, scheme_end);
    start = scheme_end + 3;
    const std::size_t slash = rest.find('/', start);
    const std::size_t host_end = slash == std::string::npos ? rest.size() : slash;
    const std::string_view host_and_port = std::string_view(rest).substr(start, host_end - start);
    const std::size_t colon = host_and_port.find(':');
    Host = host_and_port.substr(0, colon);
    if (colon != std::string_view::npos) Port = host_and_port.substr(colon + 1);
    start = slash == std::string::npos ? rest.size() : slash + 1;
  }

  const std::string_view remainder = std::string_view(rest).substr(start);
  const std::size_t last_slash = remainder.rfind('/');
  std::string_view document = remainder;
  if (last_slash != std::string_view::npos) {
    if (remainder.front() != '/') Path = '/';
    Path.append(remainder.substr(0, last_slash + 1));
    document = remainder.substr(last_slash + 1);
  } else {
    Path = '/';
  }

  const std::size_t hash = document.find('#');
  if (hash != std::string_view::npos) {
    Bookmark = document.substr(hash + 1);
    document = document.substr(0, hash);
  }
  Document = document;
}

}  // namespace vantrel
