#include "texture/WalFormat.h"

#include <gtest/gtest.h>
