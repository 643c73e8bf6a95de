// Text made safe to stand in HTML: in element content and in attribute
// values (quoted with either quote), it reads as the text it was and never
// as markup. Pure; any thread.
#ifndef VANTREL_BASE_HTML_ESCAPE_H_
#define VANTREL_BASE_HTML_ESCAPE_H_

#include <string>
#include <string_view>

namespace vantrel {

// `text` with "&", "<", ">", '"' and "'" written as "&amp;", "&lt;",
// "&gt;", "&quot;" and "&#39;"; every other byte as it is.
std::string HtmlEscape(std::string_view text);

}  // namespace vantrel

#endif  // VANTREL_BASE_HTML_ESCAPE_H_
