#include "project/ProjectFile.h"

#include <gtest/gtest.h>
