#pragma once
// A double as a whole int, for values read from files and computed from them (times, picture
// sizes): a plain cast of a NaN or out-of-range double would be undefined. Any thread; pure.

// Toward zero, held to the int range; NaN gives 0.
int TruncateToInt(double value);
