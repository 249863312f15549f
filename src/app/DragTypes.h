#pragma once
// The MIME types of the window's own drags, shared by the areas that start them and the areas
// that take the drops.

// The "DSP Panel" or "Control Amp" box dragged onto the preset tree or list (a new preset) or
// onto the region graph (a new snap). The data is the dragged box's object name.
inline constexpr const char* kDSPPanelMime = "application/x-sonquil-dsp-panel";

// A line of the range history ("Edit Ranges") dragged onto the region list, which makes a
// region of that range. The data is the line's number (1 = the newest range).
inline constexpr const char* kRangeMime = "application/x-sonquil-range";
