#include "app/web_scripter.h"

namespace vantrel {

// Placeholder until the web functions land.
void WebScripter::Init() {}

}  // namespace vantrel
