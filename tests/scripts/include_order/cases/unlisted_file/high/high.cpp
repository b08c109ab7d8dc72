#include "low/low.h"
int high_value() { return low_value(); }
