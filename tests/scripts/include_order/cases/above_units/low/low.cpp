#include "low.h"
#include "tests/support/helper.h"
int low_value() { return helper(); }
