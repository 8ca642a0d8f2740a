#include "app/ui/COrielApp.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>

#include "acquisition/CUSB2Hardware.h"
#include "acquisition/CUSBHardware.h"
#include "acquisition/CUSBThread.h"
#include "app/AppStartup.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CLabel.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielView.h"
#include "app/ui/CProgressDialog.h"
#include "app/ui/QtProfileStore.h"
#include "app/ui/QtText.h"
#include "app/ui/QtUserPrompts.h"
#include "core/COrielDoc.h"

namespace vocomet {

namespace {

const char* const kOpenFilter =
    "Vocomet files (*.vcm)|*.vcm|Wave files (*.wav)|*.wav|AIFF files (*.aiff; *.*)|*.aiff; *.*|"
    "CSL files (*.NSP)|*.NSP|ASCII files (*.*)|*.*|Generic files (*.*)|*.*|";

QFont MakeAppFont() {
    // Arial, 14 pixels high, normal weight; a sans font that is always there
    // stands in when Arial is not installed.
    platform::LogFontA lf;
    lf.height = 14;
    lf.weight = 400;
    lf.faceName = "Arial";
    return ToQFont(lf);
}

}  // namespace

COrielApp::COrielApp(Options options) : m_options(std::move(options)) {
    if (m_options.prompts) {
        m_prompts = m_options.prompts;
    } else {
        m_ownPrompts = std::make_unique<QtUserPrompts>();
        m_prompts = m_ownPrompts.get();
    }
    if (m_options.profile) {
        m_profile = m_options.profile;
    } else {
        m_ownProfile = std::make_unique<QtProfileStore>();
        m_profile = m_ownProfile.get();
    }
    m_appFont = MakeAppFont();
    for (int i = 0; i < 256; ++i)
        m_greyPens[i] = QPen(QColor(i, i, i), 1, Qt::SolidLine);
}

COrielApp::~COrielApp() {
    if (m_mainFrame) {
        // Documents go before the state they refer to.
        for (QMdiSubWindow* w : m_mainFrame->MdiArea()->subWindowList())
            delete w;
    }
    if (m_state.acquisition.usbThread)
        m_state.acquisition.usbThread->Stop(std::chrono::seconds(2));
}

bool COrielApp::InitInstance(const QStringList& arguments) {
    const std::string start =
        m_options.startFolder.empty() ? QDir::currentPath().toStdString() : m_options.startFolder;
    CUSBHardware usb;
    CUSB2Hardware usb2;
    if (!RunStartup(m_state, {usb2, usb, m_options.firmwarePath}, *m_profile, *m_prompts, start))
        return false;

    try {
        m_mainFrame = std::make_unique<CMainFrame>();
        if (m_ownPrompts)
            m_ownPrompts->SetParent(m_mainFrame.get());
        BuildMenus();
        connect(m_mainFrame.get(), &CMainFrame::filesDropped, this, [this](const QStringList& paths) {
            for (const QString& p : paths)
                OpenDocumentFile(p);
        });
        connect(m_mainFrame.get(), &CMainFrame::closeRequested, this, [this](bool* ok) { *ok = CloseAllDocuments(); });

        if (m_options.registerFileTypes)
            RegisterFileTypes();

        // A file named on the command line is opened; otherwise a new empty
        // document is made.
        if (!arguments.isEmpty()) {
            if (!OpenDocumentFile(arguments.front()))
                return false;
        } else if (!NewDocument()) {
            return false;
        }

        if (m_options.showMaximized)
            m_mainFrame->showMaximized();
        else
            m_mainFrame->show();
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

int COrielApp::ExitInstance() {
    RunExit(m_state);
    return 0;
}

std::unique_ptr<COrielDoc> COrielApp::MakeDocument() {
    auto doc = std::make_unique<COrielDoc>(m_state, *m_prompts);
    COrielDoc* raw = doc.get();
    doc->Hooks().closeAllDocuments = [this] { return CloseAllDocuments(); };
    doc->Hooks().quit = [this] { QMetaObject::invokeMethod(m_mainFrame.get(), "close", Qt::QueuedConnection); };
    doc->Hooks().pathAdopted = [this, raw](const std::string& path) {
        AddRecentFile(QString::fromStdString(path));
        for (QMdiSubWindow* w : m_mainFrame->MdiArea()->subWindowList())
            if (auto* f = qobject_cast<CChildFrame*>(w); f && &f->GetDocument() == raw)
                f->UpdateTitle();
    };
    QWidget* parent = m_mainFrame.get();
    doc->SetProgressFactory([parent]() -> std::unique_ptr<platform::Progress> {
        auto dialog = std::make_unique<CProgressDialog>(parent);
        dialog->show();
        return dialog;
    });
    return doc;
}

CChildFrame* COrielApp::AddFrame(std::unique_ptr<COrielDoc> document) {
    auto* frame = new CChildFrame(std::move(document));
    m_mainFrame->MdiArea()->addSubWindow(frame);
    frame->show();
    return frame;
}

CChildFrame* COrielApp::OpenDocumentFile(const QString& path) {
    if (!m_mainFrame)
        return nullptr;
    // A document already open on the file is brought forward instead.
    const QString canonical = QFileInfo(path).absoluteFilePath();
    for (QMdiSubWindow* w : m_mainFrame->MdiArea()->subWindowList()) {
        if (auto* f = qobject_cast<CChildFrame*>(w);
            f && QString::fromStdString(f->GetDocument().GetPathName()) == canonical) {
            m_mainFrame->MdiArea()->setActiveSubWindow(f);
            return f;
        }
    }
    std::unique_ptr<COrielDoc> doc = MakeDocument();
    if (!doc->OnOpenDocument(canonical.toStdString()))
        return nullptr;
    AddRecentFile(canonical);
    return AddFrame(std::move(doc));
}

CChildFrame* COrielApp::NewDocument() {
    if (!m_mainFrame)
        return nullptr;
    return AddFrame(MakeDocument());
}

CChildFrame* COrielApp::ActiveChildFrame() const {
    if (!m_mainFrame)
        return nullptr;
    return qobject_cast<CChildFrame*>(m_mainFrame->MdiArea()->activeSubWindow());
}

bool COrielApp::CloseAllDocuments() {
    for (QMdiSubWindow* w : m_mainFrame->MdiArea()->subWindowList()) {
        if (!w->close())
            return false;
    }
    return true;
}

QStringList COrielApp::RecentFiles() const {
    return QSettings().value(QStringLiteral("Recent File List/files")).toStringList();
}

void COrielApp::AddRecentFile(const QString& path) {
    QStringList files = RecentFiles();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > kRecentFileCount)
        files.removeLast();
    QSettings().setValue(QStringLiteral("Recent File List/files"), files);
}

void COrielApp::BuildMenus() {
    QMenu* file = m_mainFrame->FileMenu();
    file->addAction(QStringLiteral("&New"), QKeySequence::New, this, [this] { NewDocument(); });
    file->addAction(QStringLiteral("&Open..."), QKeySequence::Open, this, [this] { OnFileOpen(); });
    m_closeAction = file->addAction(QStringLiteral("&Close"), this, [this] {
        if (CChildFrame* f = ActiveChildFrame())
            f->close();
    });
    file->addSeparator();
    m_saveAction = file->addAction(QStringLiteral("&Save"), QKeySequence::Save, this, [this] {
        if (CChildFrame* f = ActiveChildFrame()) {
            f->GetDocument().OnFileSave();
            f->UpdateTitle();
        }
    });
    m_saveAsAction = file->addAction(QStringLiteral("Save &As..."), this, [this] {
        if (CChildFrame* f = ActiveChildFrame()) {
            f->GetDocument().OnFileSaveAs();
            f->UpdateTitle();
        }
    });
    m_saveCopyAsAction = AddDocumentCommand(file, QStringLiteral("Save Cop&y As..."), &COrielDoc::OnFileSaveCopyAs,
                                            &COrielDoc::CanFileSaveCopyAs);
    AddDocumentCommand(file, QStringLiteral("Save Se&lection As..."), &COrielDoc::OnFileSaveSelectionAs,
                       &COrielDoc::CanFileSaveSelectionAs);
    AddDocumentCommand(file, QStringLiteral("E&xport Channel as WAV..."), &COrielDoc::OnFileExportChannelAsWave,
                       &COrielDoc::CanFileExportChannelAsWave);
    AddDocumentCommand(file, QStringLiteral("Export Selection C&hannel as WAV..."),
                       &COrielDoc::OnFileExportSelectionChannelAsWave,
                       &COrielDoc::CanFileExportSelectionChannelAsWave);
    file->addSeparator();
    file->addAction(QStringLiteral("&Load Configuration..."), this, [this] { OnFileLoadConfiguration(); });
    m_saveConfigAction = AddDocumentCommand(file, QStringLiteral("Sa&ve Configuration..."),
                                            &COrielDoc::OnFileSaveConfiguration, nullptr);
    m_revertConfigAction = AddDocumentCommand(file, QStringLiteral("&Revert To Default Configuration"),
                                              &COrielDoc::OnFileRevertToDefaultConfiguration, nullptr);
    file->addSeparator();
    m_recentMenu = file->addMenu(QStringLiteral("Recent &Files"));
    file->addSeparator();
    file->addAction(QStringLiteral("E&xit"), QKeySequence::Quit, m_mainFrame.get(), &QWidget::close);
    connect(file, &QMenu::aboutToShow, this, [this] { UpdateFileMenu(); });

    QMenu* zoom = m_mainFrame->ZoomMenu();
    const std::pair<const char*, void (COrielView::*)()> zooms[] = {
        {"Zoom &In", &COrielView::OnZoomIn},
        {"Zoom &Out", &COrielView::OnZoomOut},
        {"Zoom to &Selection", &COrielView::OnZoomSelection},
        {"Zoom from &Cursor for Duration", &COrielView::OnZoomFromCursorForDuration},
        {"&Home", &COrielView::OnZoomHome},
        {"&UnZoom", &COrielView::OnZoomUnzoom},
    };
    for (const auto& [text, slot] : zooms) {
        zoom->addAction(QString::fromLatin1(text), this, [this, slot = slot] {
            if (CChildFrame* f = ActiveChildFrame(); f && f->GetView())
                (f->GetView()->*slot)();
        });
    }
    connect(zoom, &QMenu::aboutToShow, this, [this, zoom] {
        const bool haveData = ActiveChildFrame() && ActiveChildFrame()->GetDocument().IsDataLoaded();
        for (QAction* a : zoom->actions())
            a->setEnabled(haveData);
    });

    QMenu* window = m_mainFrame->WindowMenu();
    window->addAction(QStringLiteral("&Cascade"), m_mainFrame->MdiArea(), &QMdiArea::cascadeSubWindows);
    window->addAction(QStringLiteral("&Tile"), m_mainFrame->MdiArea(), &QMdiArea::tileSubWindows);

    QMenu* help = m_mainFrame->HelpMenu();
    help->addAction(QStringLiteral("&Help Topics"), QKeySequence::HelpContents, this, [this] { OnHelpTopics(); });
    help->addAction(QStringLiteral("&About Vocomet..."), this, [this] { OnHelpAbout(); });
}

QAction* COrielApp::AddDocumentCommand(QMenu* menu, const QString& text, void (COrielDoc::*command)(),
                                      bool (COrielDoc::*enabled)() const) {
    QAction* action = menu->addAction(text, this, [this, command] {
        if (CChildFrame* f = ActiveChildFrame()) {
            (f->GetDocument().*command)();
            f->UpdateTitle();
        }
    });
    m_documentCommands.emplace_back(action, enabled);
    return action;
}

void COrielApp::UpdateFileMenu() {
    CChildFrame* f = ActiveChildFrame();
    const bool haveDoc = f != nullptr;
    m_closeAction->setEnabled(haveDoc);
    m_saveAction->setEnabled(haveDoc);
    m_saveAsAction->setEnabled(haveDoc && f->GetDocument().CanFileSaveAs());
    for (const auto& [action, enabled] : m_documentCommands)
        action->setEnabled(haveDoc && (!enabled || (f->GetDocument().*enabled)()));
    m_recentMenu->clear();
    int n = 1;
    for (const QString& path : RecentFiles()) {
        m_recentMenu->addAction(QStringLiteral("&%1 %2").arg(n++).arg(path), this,
                                [this, path] { OpenDocumentFile(path); });
    }
    m_recentMenu->setEnabled(!m_recentMenu->isEmpty());
}

void COrielApp::OnFileOpen() {
    platform::FileDialogRequest request;
    request.title = "Open";
    request.filter = kOpenFilter;
    std::optional<std::string> path = m_prompts->AskOpenPath(request);
    if (!path)
        return;
    OpenDocumentFile(QString::fromStdString(*path));
}

void COrielApp::OnFileLoadConfiguration() {
    if (CChildFrame* f = ActiveChildFrame()) {
        f->GetDocument().OnFileLoadConfiguration();
        f->UpdateTitle();
        return;
    }
    LoadConfigurationWithoutDocument(*m_prompts, m_state, {});
}

void COrielApp::OnHelpTopics() {
    const QString page =
        QString::fromStdString(m_state.startFolder) + QStringLiteral("/ManualVOCM/HelpIndex_VOCM.htm");
    if (!QFileInfo::exists(page) || !QDesktopServices::openUrl(QUrl::fromLocalFile(page)))
        m_prompts->Message(kNoHelpFile);
}

void COrielApp::OnHelpAbout() {
    QDialog about(m_mainFrame.get());
    about.setWindowTitle(QStringLiteral("About Vocomet"));
    auto* layout = new QVBoxLayout(&about);
    layout->addWidget(new QLabel(QStringLiteral("Vocomet"), &about));
    auto* version = new QLabel(QStringLiteral("version: %1").arg(QLatin1String(kConfigurationSignature)), &about);
    version->setObjectName(QStringLiteral("version"));
    layout->addWidget(version);
    auto* link = new CLabel(&about);
    link->SetText(QStringLiteral("https://vocomet.example.org/"))
        .SetFontUnderline(true)
        .SetTextColor(0xFF0000)
        .SetLink(true)
        .SetLinkCursor(QCursor(Qt::PointingHandCursor));
    layout->addWidget(link);
    about.exec();
}

void COrielApp::RegisterFileTypes() {
    // A user-level MIME type and desktop entry; any failure is ignored, it
    // must never stop start-up.
    try {
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (data.isEmpty())
            return;
        QDir().mkpath(data + QStringLiteral("/mime/packages"));
        QDir().mkpath(data + QStringLiteral("/applications"));
        QFile mime(data + QStringLiteral("/mime/packages/vocomet.xml"));
        if (mime.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            mime.write(
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                "  <mime-type type=\"application/x-vocomet\">\n"
                "    <comment>Vocomet recording</comment>\n"
                "    <glob pattern=\"*.vcm\"/>\n"
                "  </mime-type>\n"
                "</mime-info>\n");
        }
        QFile desktop(data + QStringLiteral("/applications/vocomet.desktop"));
        if (desktop.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            const QString exe = QApplication::applicationFilePath();
            desktop.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=Vocomet\nExec=\"%1\" %f\n"
                                         "MimeType=application/x-vocomet;\nTerminal=false\nCategories=AudioVideo;Audio;\n")
                              .arg(exe)
                              .toUtf8());
        }
    } catch (...) {
    }
}

}  // namespace vocomet
