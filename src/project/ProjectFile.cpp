#include "project/ProjectFile.h"

// Not written yet.
