// The gauge position for a progress report in percent.
#include "app/gauge_position.h"

#include <cmath>

int GaugePosition(double percent) {
  // Clamped first, so that the conversion to int below is always defined.
  if (!(percent > 0.0)) return 0;
  if (percent >= 100.0) return 100;
  const double below = std::floor(percent);
  const double fraction = percent - below;
  int rounded = static_cast<int>(below);
  if (fraction > 0.5 || (fraction == 0.5 && rounded % 2 != 0)) ++rounded;
  return rounded;
}
