#include "texture/BmpFormat.h"

// Not written yet.
