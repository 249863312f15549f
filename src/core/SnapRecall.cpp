#include "core/SnapRecall.h"

#include "core/CCore.h"
#include "dsp/CCompressor.h"
#include "dsp/CParaEQ4B.h"
#include "dsp/CStereoImager.h"
#include "dsp/CTubeAmp.h"
#include "library/CDSPSnap.h"
#include "library/CRegion.h"

bool ApplyRegionSnap(CCore& core, const CRegion& region, bool editMode) {
    const CDSPSnap* snap = region.Snaps().SnapToApply(editMode);
    if (!snap) return false;
    const CParamBlock& block = snap->Params();
    // The side chain first, then the valve amplifier, which keeps its own bypass switches.
    if (CParaEQ4B* eq = core.Equaliser()) eq->ApplySnap(block);
    if (CCompressor* c = core.Compressor()) c->ApplySnap(block);
    if (CStereoImager* s = core.StereoImager()) s->ApplySnap(block);
    if (CTubeAmp* v = core.ValveAmp()) v->ApplySnap(block);
    return true;
}
