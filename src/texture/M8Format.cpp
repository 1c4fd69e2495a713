#include "texture/M8Format.h"

// Not written yet.
