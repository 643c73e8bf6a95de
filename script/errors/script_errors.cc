#include "script/errors/script_errors.h"
