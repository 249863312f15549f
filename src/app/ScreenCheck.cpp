#include "app/ScreenCheck.h"

#include <cmath>

namespace {
constexpr int kMinScreenWidth = 1024;
constexpr int kMinScreenHeight = 768;
} // namespace

QSize ScreenDeviceSize(QSize logical, double devicePixelRatio) {
    // A ratio below 1 or none at all (a screen that reports nothing) counts as 1: the logical
    // pixels are then the real ones.
    const double ratio = devicePixelRatio >= 1.0 ? devicePixelRatio : 1.0;
    // Qt rounds the logical size from the real one; rounding back gives the real size again
    // for fractional factors (1.25, 1.5) as well.
    return QSize(int(std::lround(logical.width() * ratio)), int(std::lround(logical.height() * ratio)));
}

bool ScreenLargeEnough(QSize deviceSize, std::string& message) {
    if (deviceSize.width() >= kMinScreenWidth && deviceSize.height() >= kMinScreenHeight) return true;
    message = "The minimum required screen resolution is 1024x768.\n Please change the resolution in your system's "
              "display settings.";
    return false;
}
