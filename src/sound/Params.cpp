#include "sound/Params.h"

const uint8_t defaultParams[ParamCount] = {0x21, 3, 23, 31, 31, 200, 200, 0, 100, 125, 50, 50};
