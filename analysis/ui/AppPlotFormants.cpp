// The application's PlotFormants > Open command: a new document for each
// opened table, with the application's hooks, in a formant plot window.

#include <QMdiArea>

#include "analysis/ui/CFormPlotFormantFrame.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielApp.h"
#include "core/COrielDoc.h"

namespace vocomet {

void COrielApp::OnPlotFormantsOpen() {
    if (!m_mainFrame)
        return;
    OpenPlotFormantWindow(*m_mainFrame->MdiArea(), *m_prompts, m_state.settings.placements[kPlacementFormantPlot],
                          [this] { return MakeDocument(); });
}

}  // namespace vocomet
