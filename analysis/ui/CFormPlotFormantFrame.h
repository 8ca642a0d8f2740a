#pragma once
// The formant plot window's frame: an MDI child holding one
// CFormPlotFormantView, titled with its file's name. It keeps the document
// it was opened on (owning it when PlotFormants > Open made one for it).
// Its normal position is the plot-frame placement shared by every formant
// plot window (left, top, width, height), stored on every move and resize.
//
// Closing a modified table asks "Save plot formant file-- <title> --,
// before closing." with Yes, No and Cancel; the window stays when the user
// cancels or when Yes saved nothing (Save As cancelled, the write failed).
// UI thread only.

#include <QMdiSubWindow>
#include <functional>
#include <memory>
#include <string>

#include "core/ApplicationSettings.h"

class QMdiArea;

namespace platform {
class UserPrompts;
}

namespace vocomet {

class COrielDoc;
class CFormPlotFormantView;

inline constexpr const char* kPlotFormantViewFailure = "Error in creating the requested view.";

class CFormPlotFormantFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    CFormPlotFormantFrame(COrielDoc& doc, platform::UserPrompts& prompts, WindowPlacement& placement,
                          QWidget* parent = nullptr);
    ~CFormPlotFormantFrame() override;

    // The frame owns the document from here on (it goes with the window).
    void AdoptDocument(std::unique_ptr<COrielDoc> document);

    CFormPlotFormantView* GetView() const { return m_view; }
    COrielDoc& GetDocument() const { return m_doc; }
    void SetTitle(const std::string& title);
    const std::string& GetTitle() const { return m_title; }
    // Places the window at the shared placement (20, 20, 300, 300 while it
    // is all zero); from then on the placement follows the window.
    void PlaceAtPlacement();

    // The close question; true when the window may go.
    bool QueryClose();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void StorePlacement();

    COrielDoc& m_doc;
    platform::UserPrompts& m_prompts;
    WindowPlacement& m_placement;
    CFormPlotFormantView* m_view = nullptr;
    std::unique_ptr<COrielDoc> m_ownedDocument;
    std::string m_title;
    bool m_storePlacement = false;
};

using PlotDocumentFactory = std::function<std::unique_ptr<COrielDoc>()>;

// PlotFormants > Open...: asks for a file ("Open PlotFormant file"); unless
// cancelled, makes a new document and a plot window on it titled with the
// file's name, reads the file and places the window. A file that cannot be
// read is reported and leaves no window. Returns the window, or null.
CFormPlotFormantFrame* OpenPlotFormantWindow(QMdiArea& area, platform::UserPrompts& prompts,
                                             WindowPlacement& placement, const PlotDocumentFactory& makeDocument);

}  // namespace vocomet
