#include "app/c/c.h"
