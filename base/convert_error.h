// The error of texts and numbers that cannot be converted: a text that is no
// number or no date, date or time parts out of range, a format pattern that
// does not fit its arguments.
//
//   throw ConvertError(Format("'%s' is not a valid integer value", {text}));
#ifndef VANTREL_BASE_CONVERT_ERROR_H_
#define VANTREL_BASE_CONVERT_ERROR_H_

#include "base/exception.h"

namespace vantrel {

VANTREL_ERROR_CLASS(ConvertError, Exception);

}  // namespace vantrel

#endif  // VANTREL_BASE_CONVERT_ERROR_H_
