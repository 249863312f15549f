#pragma once
// Fade shapes: 0 Lin (g), 1 Log (g × g), 2 Exp (1 − (1 − g)²), g the linear ramp over the
// fade length, 0 at the outer edge and 1 at the inner edge.

enum FadeShape : int { FadeLin = 0, FadeLog = 1, FadeExp = 2 };

inline float FadeGain(int shape, float g) {
    switch (shape) {
    case FadeLog: return g * g;
    case FadeExp: return 1.0f - (1.0f - g) * (1.0f - g);
    default: return g;
    }
}
