#include "base/logbuffer.h"
