#pragma once
// Applying a region's DSP snap: every region plays and renders with its own mastering settings,
// so whenever a region becomes the one being worked on (a click in the region list or on a
// tape, an audition, before a clone or an export) its snap is loaded into the stack. In edit
// mode, or when the region has no favourite, that is its current snap; in browse mode the
// favourite wins.
//
// Threading: main thread. The processors' controls are atomics that the audio thread reads once
// per block, so applying while playing changes the sound from the next block on.

class CCore;
class CRegion;

// Applies the snap to the equaliser, the compressor, the stereo imager and the valve amplifier
// ("Bypass All", "Bypass Dsp" and "Mono Check" stay as they are). False when the snap index
// names no snap (a favourite left behind by a deletion): nothing is applied then. The plug-in
// chain's part of the snap is restored once the core hosts the chain.
bool ApplyRegionSnap(CCore& core, const CRegion& region, bool editMode);
