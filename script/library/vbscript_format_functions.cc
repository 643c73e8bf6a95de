#include <cmath>

#include "base/date_time_format.h"
#include "base/number_format.h"
#include "script/library/vbscript_functions.h"
#include "script/machine/virtual_machine.h"

namespace vantrel::vbscript_functions {

// A negative number of decimals asks for the locale's, as in VBScript.
void FormatCurrency(VirtualMachine& machine) {
  double value = machine.GetArgAsFloat(0);
  const int digits = machine.GetArgAsInteger(1);
  // Currency holds four decimals, rounded half to even.
  const double scaled = std::nearbyint(value * 10000);
  if (std::isfinite(scaled)) value = scaled / 10000;
  const FormatSettings& settings = FormatSettings::Locale();
  machine.SetResult(
      FormatCurrencyText(value, digits < 0 ? settings.currency_decimals : digits, settings));
}

// A negative number of decimals asks for two.
void FormatNumber(VirtualMachine& machine) {
  const int digits = machine.GetArgAsInteger(1);
  machine.SetResult(FormatFixed(machine.GetArgAsFloat(0), digits < 0 ? 2 : digits, false));
}

}  // namespace vantrel::vbscript_functions
