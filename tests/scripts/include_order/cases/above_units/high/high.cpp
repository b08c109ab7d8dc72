#include "bench/bench.h"
#include "low/low.h"
