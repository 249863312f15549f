#pragma once
// The VST chain's part of a DSP snap: taking it from the hosted effects and bringing the chain
// back from it.
//
// Threading: main thread only; the audio thread is kept out of the chain while it is rebuilt.

class CVSTEffectList;
class CVSTStatus;

// Up to 16 effects in chain order: the file name (empty when longer than 63 bytes), the current
// program, the bypassed and collapsed bits and every parameter's value. Snaps never store chunks:
// bit 2 and the chunk stay empty. An effect that is not loaded keeps no parameters.
void StoreVSTChain(CVSTEffectList& chain, CVSTStatus& status);

// With the rebuilding flag raised: every effect destroyed, then for each stored effect in order
// a new one by name appended, loaded and opened, its program set, the stored chunk given when
// bit 2 is set, every stored parameter set in order, bypass and collapse from bits 0 and 1. An
// effect whose plug-in cannot be loaded stays in the chain unloaded (it passes the sound through)
// so that taking the snap again keeps its place. Returns the number of effects that failed to
// load.
int ApplyVSTChain(CVSTEffectList& chain, const CVSTStatus& status);
