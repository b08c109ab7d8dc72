#include "a.h"
#include "app/b/b.h"
int a() { return b(); }
