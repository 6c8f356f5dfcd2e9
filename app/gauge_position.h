// The gauge position for a progress report in percent.
#pragma once

// Rounds to the nearest integer with halves to the even neighbour (0.5 -> 0, 1.5 -> 2,
// 2.5 -> 2) and clamps to the gauge's range 0 to 100; NaN gives 0.
int GaugePosition(double percent);
