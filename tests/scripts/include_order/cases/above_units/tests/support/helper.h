#pragma once
#include "high/high.h"
int helper();
