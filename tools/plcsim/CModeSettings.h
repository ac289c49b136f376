#ifndef PLCSIM_CMODESETTINGS_H
#define PLCSIM_CMODESETTINGS_H

// How the simulated controller answers Host Link C-mode commands: its
// operating mode, the frame sizes of old separate Host Link units, and the
// C-mode faults. Kept apart from Faults: they act on C-mode commands only.

#include <QtGlobal>

namespace plcsim {

enum class CpuMode { Program, Monitor, Run };

struct CModeSettings {
    // RUN refuses every write with end code 01; reads work in every mode.
    CpuMode mode = CpuMode::Monitor;
    // Read answers carry 29 words in the first frame and 30 in later ones
    // (old separate Host Link units) instead of 30 and 31.
    bool oldUnits = false;
    // Faults. The second frame of a long read answer has a wrong FCS ...
    bool badFcsLater = false;
    // ... or never comes: the host's CR after the first frame goes unanswered.
    bool silentAfterFirst = false;
    // Every C-mode command is answered "IC" (header not decodable).
    bool undecoded = false;
    // Nonzero: every C-mode command is answered with this end code and no
    // text, and nothing is executed.
    quint8 endCode = 0;
};

} // namespace plcsim

#endif
