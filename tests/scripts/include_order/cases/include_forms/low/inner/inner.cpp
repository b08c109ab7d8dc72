#include "../low.h"
#include "../../high/high.h"
#include <high/high.h>
#include <low/low.h>
#include <pipewire/pipewire.h>
#include <spa/utils/result.h>
#include "pipewire/keys.h"
#include "../../../outside.h"
