#pragma once
// The document's main view as the analysis windows reach it: a pane passes
// its presses, moves and releases on to it, with the pane's time, so the
// view's cursor and selection follow the pane's; and the pane writes in the
// view's font. The shell's main view implements it. UI thread only.

#include <QFont>

#include "analysis/AnalysisServices.h"

namespace vocomet {

class MainViewLink : public MouseMirror {
public:
    // Mouse flags of the mirrored calls: bit 0 is the left button.
    static constexpr unsigned kLeftButton = 1;

    // The application font, in which names and scale labels are written.
    virtual QFont AppFont() const = 0;
};

}  // namespace vocomet
