#pragma once
// The MIME types of the window's own drags, shared by the areas that start them and the areas
// that take the drops.

// The "DSP Panel" or "Control Amp" box dragged onto the preset tree or list (a new preset) or
// onto the region graph (a new snap). The data is the dragged box's object name.
inline constexpr const char* kDSPPanelMime = "application/x-sonquil-dsp-panel";
