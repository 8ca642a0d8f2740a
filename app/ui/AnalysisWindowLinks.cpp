#include "app/ui/AnalysisWindowLinks.h"

#include <QAction>
#include <QKeySequence>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>

#include "app/ui/CChildFrame.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielView.h"
#include "app/ui/CommandRouting.h"
#include "windows/AnalysisWindowCommands.h"

namespace vocomet {

namespace {

// The document frames of the document in the area.
template <typename Each>
void ForEachDocumentFrame(QMdiArea* area, const COrielDoc& doc, Each each) {
    if (!area)
        return;
    for (QMdiSubWindow* w : area->subWindowList())
        if (auto* f = qobject_cast<CChildFrame*>(w); f && &f->GetDocument() == &doc)
            if (!each(*f))
                return;
}

}  // namespace

COrielView* MainViewOf(QMdiArea* area, const COrielDoc& doc) {
    COrielView* view = nullptr;
    ForEachDocumentFrame(area, doc, [&view](CChildFrame& f) {
        view = f.GetView();
        return false;
    });
    return view;
}

QMenu* MenuNamed(CMainFrame& frame, const char* objectName, const QString& title) {
    for (QAction* a : frame.menuBar()->actions()) {
        QMenu* m = a->menu();
        if (m && (m->objectName() == QLatin1String(objectName) || (!title.isEmpty() && m->title() == title)))
            return m;
    }
    return nullptr;
}

void AddAnalysisLogEntry(CMainFrame& frame, const char* text, const QKeySequence& keys) {
    QMdiArea* area = frame.MdiArea();
    QAction* a = frame.LogMenu()->addAction(QString::fromLatin1(text), keys, &frame, [area, text] {
        if (AnalysisWindowCommands* w = ActiveAnalysisWindow(area); w && w->HasLogCommand(text))
            w->OnLogCommand(text);
    });
    DeclareAnalysisCommand(
        a, [text](const AnalysisWindowCommands& w) { return w.HasLogCommand(text); },
        [text](const AnalysisWindowCommands& w) { return w.CanLogCommand(text); });
}

void OnDocumentFrameDestroyed(QMdiArea* area, const COrielDoc& doc, QObject* context,
                              std::function<void()> onDestroyed) {
    ForEachDocumentFrame(area, doc, [&](CChildFrame& f) {
        QObject::connect(&f, &QObject::destroyed, context, onDestroyed);
        return true;
    });
}

}  // namespace vocomet
