#pragma once
// Colour schemes of the panels and views.
#include <cstdint>

enum ColourScheme : int32_t { SchemeBlue = 0, SchemeAmber = 1, SchemeYellow = 2, SchemeGreen = 3 };
