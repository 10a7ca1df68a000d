#include "base/process.h"
