#include "texture/BmpFormat.h"

#include <gtest/gtest.h>
