#include "engine/FCT_mpeg.h"
