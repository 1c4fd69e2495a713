#include "texture/WalFormat.h"

// Not written yet.
