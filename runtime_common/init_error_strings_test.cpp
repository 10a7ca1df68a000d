#include "runtime_common/init_error_strings.h"
