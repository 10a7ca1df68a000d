#include "base/strtools_public.h"
