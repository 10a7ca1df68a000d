#include "base/path_utils.h"
