#include "library/CDSPSnap.h"

#include "common/FixedText.h"

CDSPSnap::CDSPSnap(const std::string& name) { SetName(name); }

void CDSPSnap::SetName(const std::string& name) { m_name = CutUtf8(name, kNameSize - 1); }
