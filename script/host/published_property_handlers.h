// The built-in handlers through which scripts read and write the published
// properties of host objects.
//
// The getter returns the property of the current object; the setter converts
// its argument leniently for the property's kind (integers and floats as
// GetArgAsInteger and GetArgAsFloat read them, enumeration names to their
// ordinal, arrays of names or ordinals to a set's bit mask) and writes it.
#ifndef VANTREL_SCRIPT_HOST_PUBLISHED_PROPERTY_HANDLERS_H_
#define VANTREL_SCRIPT_HOST_PUBLISHED_PROPERTY_HANDLERS_H_

#include "script/machine/host_handler.h"

namespace vantrel {

struct PublishedProperty;
class Variant;

HostHandler PublishedGetter(const PublishedProperty& info);
HostHandler PublishedSetter(const PublishedProperty& info);

// The value `value` becomes when written to a property described by `info`.
Variant ConvertForProperty(const PublishedProperty& info, const Variant& value);

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_HOST_PUBLISHED_PROPERTY_HANDLERS_H_
