#pragma once
// What the analysis windows (pitch, spectrogram, FFT/LPC) share: the
// shared menus' items, mirroring a pane's mouse to the other windows,
// saving a pane's picture as a bitmap, and a frame that keeps the placement
// shared by every window of its kind. UI thread only.

#include <QMdiSubWindow>
#include <QPointer>
#include <QString>
#include <functional>
#include <span>
#include <string>

#include "windows/AnalysisWindowCommands.h"
#include "core/ApplicationSettings.h"
#include "platform/Progress.h"
#include "platform/WinTypes.h"

class QAction;
class QImage;
class QLabel;
class QLineEdit;
class QKeySequence;
class QMdiArea;
class QMenu;
class QPainter;

namespace platform {
class UserPrompts;
}

namespace vocomet {

class AnalysisPane;
class COrielDoc;
class MouseMirror;

// The read-out header of an analysis window: caption and field pairs in
// reading order, as many to a row as `width` holds, each caption as wide as
// its text and each field as wide as the widest text it shows. Returns the
// bottom of the last row.
struct ReadoutPair {
    QLabel* caption = nullptr;
    QLineEdit* field = nullptr;
    QString widest;  // the field's widest text; empty: its current text
};
int FlowReadouts(std::span<const ReadoutPair> pairs, int left, int top, int width);

// The item of the menu with exactly this text, or none.
QAction* ActionTexted(QMenu* menu, const char* text);

enum class MouseStep { Press, Move, Release };

// Passes a pane's press, move or release on to the document's main view,
// then to the other analysis pane, each with the pane's time; either may be
// null (not there).
void MirrorMouse(MouseStep step, MouseMirror* view, AnalysisPane* pane, unsigned flags, platform::Point point,
                 double timeMs);

// Draws the frame of a printed picture of width x height (inches or mm),
// titled, in Arial at the device's text height, leaving that font set;
// unit: the device's pixels a screen pixel. The plot inside the frame.
QRect DrawPrintedPictureFrame(QPainter& dc, double width, double height, bool inches, const std::string& title,
                              int& unit);

// Writes the picture render(width, height) draws at the picture size of the
// window's settings to path, busy meanwhile; a size too large or a failed
// write beeps and says so.
void SavePictureBitmap(const QWidget& widget, platform::UserPrompts& prompts, const std::string& path,
                       double pictureWidth, double pictureHeight, bool inches,
                       const std::function<QImage(int, int)>& render);

// An analysis window's MDI frame on a document: its title is the document's
// title followed by the kind's suffix, and its normal position is the
// placement shared by every window of its kind, stored on every move and
// resize (unless maximised or minimised) once the window has been placed.
// The progress of a pane's computation that also asks to stop once the pane
// is gone: the progress window lets events through while the work runs, so
// the window can be closed (and its pane deleted) in the middle of it. The
// pane checks Gone() before it touches itself again.
class PaneProgress final : public platform::Progress {
public:
    PaneProgress(QObject* pane, platform::Progress& inner) : m_pane(pane), m_inner(inner) {}
    bool Gone() const { return m_pane.isNull(); }
    void SetText(const std::string& text) override {
        if (!Gone())
            m_inner.SetText(text);
    }
    void SetFraction(double fraction) override {
        if (!Gone())
            m_inner.SetFraction(fraction);
    }
    // The inner poll delivers waiting events: the pane may go during it.
    bool AbortRequested() override { return Gone() || m_inner.AbortRequested() || Gone(); }

private:
    QPointer<QObject> m_pane;
    platform::Progress& m_inner;
};

class PlacedAnalysisFrame : public QMdiSubWindow, public AnalysisWindowCommands {
    Q_OBJECT
public:
    COrielDoc& GetDocument() const { return m_doc; }
    // Title := the document's title and the suffix.
    void OnUpdateFrameTitle();
    // The placement stops following this window (before it is destroyed by
    // its opener after a refusal, so a refused window leaves no trace).
    void StopStoringPlacement() { m_storePlacement = false; }

    // The File and Log commands go to the window's view (see
    // ForwardCommandsTo) unless the frame carries them itself.
    void OnFilePrint() override;
    void OnFilePrintPreview() override;
    void OnFileSaveAsBmp() override;
    bool HasLogCommand(std::string_view text) const override;
    bool CanLogCommand(std::string_view text) const override;
    void OnLogCommand(std::string_view text) override;

protected:
    // placedWhenShown: the opener places the window before showing it, and
    // the placement follows it from its first show; otherwise from
    // StartStoringPlacement.
    PlacedAnalysisFrame(COrielDoc& doc, WindowPlacement& placement, bool placedWhenShown, QWidget* parent);

    void SetTitleSuffix(const QString& suffix);
    const QString& TitleSuffix() const { return m_titleSuffix; }
    void StartStoringPlacement() { m_storePlacement = true; }
    void ForwardCommandsTo(AnalysisWindowCommands* view) { m_commands = view; }

    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void StorePlacement();

    COrielDoc& m_doc;
    WindowPlacement& m_placement;
    QString m_titleSuffix;
    AnalysisWindowCommands* m_commands = nullptr;
    bool m_placedWhenShown = false;
    bool m_storePlacement = false;
};

}  // namespace vocomet
