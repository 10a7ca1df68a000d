#include "base/systemtime.h"
