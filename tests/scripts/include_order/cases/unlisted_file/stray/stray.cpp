#include "low/low.h"
int stray_value() { return low_value(); }
