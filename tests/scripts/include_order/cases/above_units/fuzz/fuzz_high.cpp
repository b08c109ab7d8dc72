#include "high/high.h"
#include "tests/support/helper.h"
