// Rounding of the caller's doubles to the grid of a signed fraction.
#pragma once

// The integer nearest to x; halfway cases go to the even integer.
double roundHalfEven(double x);

// x rounded (ties to even) to a multiple of 2^-(w-1). With noClamp 0 a value
// that would round up to +1.0 or beyond is truncated to the largest code.
double quantizeToWidth(double x, int w, int noClamp);
