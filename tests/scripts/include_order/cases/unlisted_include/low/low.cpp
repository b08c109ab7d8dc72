#include "low.h"
#include "data/table.inc"
