#include "base/file_utils.h"
