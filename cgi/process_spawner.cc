#include "cgi/process_spawner.h"

#include "base/format.h"
#include "base/system_error_text.h"

namespace vantrel {

OSError MakeOSError(int error) {
  return OSError(Format("System Error.  Code: %d.\r\n%s", {error, SystemErrorText(error)}));
}

}  // namespace vantrel
