#include "script/script_errors.h"
