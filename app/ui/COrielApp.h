#pragma once
// The application object: owns the process-wide state, the application font,
// the grey pens and the clipboard channel slots; runs start-up and exit;
// carries the application-level commands (open, load configuration, help,
// about) and opens documents into child frames.

#include <QDialog>
#include <QFont>
#include <QObject>
#include <QPen>
#include <QStringList>
#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/ApplicationState.h"
#include "core/CChannels.h"

namespace platform {
class UserPrompts;
class ProfileStore;
}  // namespace platform

class QAction;
class QDialogButtonBox;
class QLabel;
class QMenu;
class QPushButton;

namespace vocomet {

class CMainFrame;
class CChildFrame;
class CLabel;
class COrielDoc;
class QtUserPrompts;
class QtProfileStore;

inline constexpr const char* kNoHelpFile = "No help file was found. Please contact the vendor.";
inline constexpr const char* kConfigurationSignature = "2005";
inline constexpr int kRecentFileCount = 5;
inline constexpr const char* kWebAddress = "https://vocomet.example.org/";

// The About box: the product, "version: " with the settings signature, the
// web address as a link (underlined, blue, hand cursor) and OK.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    QLabel* VersionLabel() const { return m_version; }
    CLabel* LinkLabel() const { return m_link; }
    QPushButton* OkButton() const;

private:
    QLabel* m_version;
    CLabel* m_link;
    QDialogButtonBox* m_buttons;
};

class COrielApp : public QObject {
    Q_OBJECT
public:
    struct Options {
        platform::UserPrompts* prompts = nullptr;   // default: Qt message boxes and choosers
        platform::ProfileStore* profile = nullptr;  // default: QSettings
        std::string startFolder;                    // default: the current directory
        std::string firmwarePath = "ada.ldr";
        bool registerFileTypes = true;
        bool showMaximized = true;
    };

    explicit COrielApp(Options options);
    ~COrielApp() override;

    // Start-up; false ends the application. arguments are the command-line
    // arguments after the program name.
    bool InitInstance(const QStringList& arguments);
    // Exit: writes the application's settings back; returns the exit code.
    int ExitInstance();

    CMainFrame* MainFrame() const { return m_mainFrame.get(); }
    ApplicationState& State() { return m_state; }
    platform::UserPrompts& Prompts() { return *m_prompts; }
    const QFont& AppFont() const { return m_appFont; }
    const std::array<QPen, 256>& GreyPens() const { return m_greyPens; }
    std::array<CChannels, 20>& Clipboard() { return m_state.clipboard.channels; }
    QStringList RecentFiles() const;

    // Opens a file into a new document and child frame; null when no reader
    // took it (the user has been told).
    CChildFrame* OpenDocumentFile(const QString& path);
    CChildFrame* NewDocument();
    CChildFrame* ActiveChildFrame() const;
    // The main-view frame of the document the active window works on.
    CChildFrame* ActiveDocumentFrame() const;

    // Commands.
    void OnFileOpen();
    void OnFileLoadConfiguration();
    void OnHelpTopics();
    void OnHelpAbout();
    // PlotFormants > Open... (analysis/ui/AppPlotFormants.cpp).
    void OnPlotFormantsOpen();

private:
    void BuildMenus();
    // Enabling of the File commands; the menu also rebuilds its recent files.
    void UpdateFileCommands();
    void UpdateFileMenu();
    QAction* AddDocumentCommand(QMenu* menu, const QString& text, void (COrielDoc::*command)(),
                                bool (COrielDoc::*enabled)() const);
    void AddRecentFile(const QString& path);
    CChildFrame* AddFrame(std::unique_ptr<COrielDoc> document);
    std::unique_ptr<COrielDoc> MakeDocument();
    bool CloseAllDocuments();
    void RegisterFileTypes();

    Options m_options;
    std::unique_ptr<QtUserPrompts> m_ownPrompts;
    std::unique_ptr<QtProfileStore> m_ownProfile;
    platform::UserPrompts* m_prompts;
    platform::ProfileStore* m_profile;
    ApplicationState m_state;
    QFont m_appFont;
    std::array<QPen, 256> m_greyPens;
    std::unique_ptr<CMainFrame> m_mainFrame;
    int m_untitledCount = 0;

    QAction* m_saveAction = nullptr;
    QAction* m_saveAsAction = nullptr;
    QAction* m_saveCopyAsAction = nullptr;
    QAction* m_closeAction = nullptr;
    QAction* m_saveConfigAction = nullptr;
    QAction* m_revertConfigAction = nullptr;
    QMenu* m_recentMenu = nullptr;
    // Commands of the active document with their enabling rule (none: always
    // enabled while a document is active).
    std::vector<std::pair<QAction*, bool (COrielDoc::*)() const>> m_documentCommands;
};

}  // namespace vocomet
