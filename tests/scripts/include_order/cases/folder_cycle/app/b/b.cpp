#include "b.h"

#include "../a/a.h"
int b() { return 1; }
