#pragma once
// The floating window of the record/play options: made hidden by the main
// frame at start-up, it lives until the application ends; closing it only
// hides it. Its place is kept in the record/play placement (left, top,
// right, bottom of its normal position); it always opens 450 x 300.

#include <QWidget>

namespace platform {
class UserPrompts;
}

namespace vocomet {

struct ApplicationState;
class COrielDoc;
class CFormRecordPlay;

inline constexpr const char* kFormCreateError = "Error in creating the form control.";
inline constexpr int kRecordPlayWidth = 450;
inline constexpr int kRecordPlayHeight = 300;

class CFrameRecordPlay : public QWidget {
    Q_OBJECT
public:
    CFrameRecordPlay(ApplicationState& app, platform::UserPrompts& prompts, QWidget* parent = nullptr);
    ~CFrameRecordPlay() override;

    // Makes the form over the whole window and sets the title with an empty
    // name. When the form cannot be made: a beep and "Error in creating the
    // form control."; the frame stays without a form.
    bool CreateForm();
    // "Record & Play Options:: " followed by name.
    void SetFormTitle(const QString& name);
    CFormRecordPlay* Form() const { return m_form; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void StorePlacement();

    ApplicationState& m_app;
    platform::UserPrompts& m_prompts;
    CFormRecordPlay* m_form = nullptr;
};

// Start-up: takes the play route and gain from the settings, makes the
// frame hidden at the stored place (left 100, top 50 when never placed),
// 450 x 300, as a tool window of mainFrame, creates its form, loads and
// arranges it, and keeps it in the application state. Null (after the
// user was told) when it cannot be made.
CFrameRecordPlay* CreateRecordPlayFrame(QWidget& mainFrame, ApplicationState& app, platform::UserPrompts& prompts);

// After Load Configuration: an open window reloads its settings, arranges
// its controls and goes to the stored place.
void ReloadRecordPlayOptions(ApplicationState& app);

// Options > Record/Play: nothing without the window; when it is shown, Save
// and Close and hide it, otherwise show it where it was. Then the title
// "Sonetta Play Options" with the audio box, else "Record/Play Options",
// and the form works on doc.
void ToggleRecordPlayOptions(ApplicationState& app, COrielDoc* doc);

}  // namespace vocomet
