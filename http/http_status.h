// The server's reason phrases for status codes.
#ifndef VANTREL_HTTP_HTTP_STATUS_H_
#define VANTREL_HTTP_HTTP_STATUS_H_

#include <string_view>

namespace vantrel {

inline constexpr char kUnknownResponseCodeText[] = "Unknown Response Code";

// The reason phrase for `status_code` ("OK" for 200, "Not Found" for 404),
// or "Unknown Response Code" for a code the table does not hold. The view
// refers to static storage.
std::string_view StatusText(int status_code);

}  // namespace vantrel

#endif  // VANTREL_HTTP_HTTP_STATUS_H_
