#include "base/assert.h"
