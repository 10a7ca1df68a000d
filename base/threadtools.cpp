#include "base/threadtools.h"
