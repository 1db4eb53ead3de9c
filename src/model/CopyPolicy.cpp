#include "model/CopyPolicy.h"

void CopyPolicy::setCopyOnlyIfMainNewer(bool on) {
    set(CopyOnlyIfMainNewer, on);
    if (on) {
        set(CopyIfTimeDiffers, true);
    }
}

void CopyPolicy::setDeleteMirrorOnly(bool on) {
    set(DeleteMirrorOnly, on);
    if (!on) {
        set(DeleteToRecycleBin, false);
    }
}

void CopyPolicy::setDeleteToRecycleBin(bool on) {
    set(DeleteToRecycleBin, on);
    if (on) {
        set(DeleteMirrorOnly, true);
    }
}

void CopyPolicy::resetToDefault() {
    m_flags = 0;
    setCopyIfSizeDiffers(true);
    setCopyOnlyIfMainNewer(true);
    setDeleteToRecycleBin(true);
    setCopyNewFiles(true);
}
