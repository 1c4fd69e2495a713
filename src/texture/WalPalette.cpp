#include "texture/WalPalette.h"

// Not written yet.
