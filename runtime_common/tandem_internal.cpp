#include "runtime_common/tandem_internal.h"
