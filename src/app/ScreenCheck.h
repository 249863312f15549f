#pragma once
// The start-up's screen check. The window's layout needs 1024 x 768 of the screen's own pixels;
// Qt reports a screen in logical pixels, which on a HiDPI screen (scale factor 2) are half as
// many each way, so the check multiplies them back by the screen's device pixel ratio first. A
// 2560 x 1440 laptop screen at scale 2 is 1280 x 720 logical and starts.
//
// Threading: any; pure functions.

#include <QSize>
#include <string>

// The screen's real pixels: its logical size times its device pixel ratio.
QSize ScreenDeviceSize(QSize logical, double devicePixelRatio);

// True when a screen of this many real pixels is large enough; otherwise false with the
// refusal shown to the user.
bool ScreenLargeEnough(QSize deviceSize, std::string& message);
