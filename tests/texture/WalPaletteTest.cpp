#include "texture/WalPalette.h"

#include <gtest/gtest.h>
