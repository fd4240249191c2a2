#pragma once
#include "test_support.h"
