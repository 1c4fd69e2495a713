#include "texture/M8Format.h"

#include <gtest/gtest.h>
