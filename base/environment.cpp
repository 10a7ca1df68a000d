#include "base/environment.h"
