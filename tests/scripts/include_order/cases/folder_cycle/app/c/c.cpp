#include "app/a/a.h"
#include "app/b/b.h"
int c() { return a() + b(); }
