#include "windows/AnalysisWindowCommands.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace vocomet {

AnalysisWindowCommands* ActiveAnalysisWindow(const QMdiArea* area) {
    if (!area)
        return nullptr;
    QMdiSubWindow* sub = area->activeSubWindow();
    if (!sub)
        return nullptr;
    if (auto* c = dynamic_cast<AnalysisWindowCommands*>(sub))
        return c;
    return dynamic_cast<AnalysisWindowCommands*>(sub->widget());
}

}  // namespace vocomet
