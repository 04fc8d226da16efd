#include "Harness.h"

using namespace tessel;
using namespace tessel::testing;
