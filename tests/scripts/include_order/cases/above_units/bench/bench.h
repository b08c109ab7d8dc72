#pragma once
#include "tests/support/helper.h"
