#include "app/ui/COrielApp.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>

#include "acquisition/CUSB2Hardware.h"
#include "acquisition/CUSBHardware.h"
#include "acquisition/CUSBThread.h"
#include "platform/ScratchRun.h"
#include "platform/usb/UsbTransport.h"
#include "app/AppStartup.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CommandRouting.h"
#include "app/ui/CFrameLabelView.h"
#include "app/ui/ViewEdit.h"
#include "app/ui/ViewMouse.h"
#include "widgets/CLabel.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielView.h"
#include "widgets/CProgressDialog.h"
#include "app/ui/QtProfileStore.h"
#include "widgets/QtText.h"
#include "app/ui/QtUserPrompts.h"
#include "app/ui/LogCommands.h"
#include "app/ui/MainFrameCommands.h"
#include "app/ui/MainToolBar.h"
#include "app/ui/ViewChannelCommands.h"
#include "app/ui/ViewOptions.h"
#include "app/ui/ViewPlay.h"
#include "app/ui/ViewRecordScope.h"
#include "acquisition/ui/CFrameRecordPlay.h"
#include "acquisition/ui/CScopeView.h"
#include "app/ui/ViewPrinting.h"
#include "analysis/ui/CFormPlotFormantFrame.h"
#include "app/ui/AnalysisWindowLinks.h"
#include "app/ui/PitchWindow.h"
#include "app/ui/SpectrogramWindow.h"
#include "app/ui/ViewAnalysisOpeners.h"
#include "core/COrielDoc.h"
#include "core/ui/DocumentDialogs.h"

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
    // Every document has let go of its scratch files by now; whatever is
    // left of this run's goes, waited for.
    platform::EndScratchRun();
}

bool COrielApp::InitInstance(const QStringList& arguments) {
    const std::string start =
        m_options.startFolder.empty() ? QDir::currentPath().toStdString() : m_options.startFolder;
    // Which USB devices are the system's and which are simulated, before
    // the hardware is looked for.
    platform::usb::ConfigureUsbDevices(m_profile);
    CUSBHardware usb;
    CUSB2Hardware usb2;
    m_state.settings.desktop = AvailableDesktop();
    if (!RunStartup(m_state, {usb2, usb, m_options.firmwarePath}, *m_profile, *m_prompts, start))
        return false;

    try {
        m_mainFrame = std::make_unique<CMainFrame>();
        if (m_ownPrompts)
            m_ownPrompts->SetParent(m_mainFrame.get());
        BuildMenus();
        CreateRecordPlayFrame(*m_mainFrame, m_state, *m_prompts);
        InstallMainFrameCommands(*m_mainFrame, m_state, *m_prompts);
        InstallScopeWindowCommand(*m_mainFrame, *m_mainFrame->MdiArea(), m_state);
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
    doc->Hooks().configurationWindows.reloadRecordPlay = [this] { ReloadRecordPlayOptions(m_state); };
    doc->Hooks().configurationWindows.placeDocumentViews = [this, raw] {
        for (QMdiSubWindow* w : m_mainFrame->MdiArea()->subWindowList())
            if (auto* f = qobject_cast<CChildFrame*>(w); f && &f->GetDocument() == raw && f->GetView())
                f->GetView()->ApplyWindowPlacements();
    };
    QWidget* parent = m_mainFrame.get();
    InstallDocumentDialogs(doc->Hooks(), *m_prompts, parent);
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

CChildFrame* COrielApp::ActiveDocumentFrame() const {
    if (!m_mainFrame)
        return nullptr;
    QMdiArea& area = *m_mainFrame->MdiArea();
    return DocumentFrameOfWindow(area, area.activeSubWindow());
}

bool COrielApp::CloseAllDocuments() { return CloseAllMdiWindows(*m_mainFrame->MdiArea()); }

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
    // The document's commands reach it from any of its windows (an analysis
    // window or its label list as well as its main view).
    m_saveAction = file->addAction(QStringLiteral("&Save"), QKeySequence::Save, this, [this] {
        if (CChildFrame* f = ActiveDocumentFrame()) {
            f->GetDocument().OnFileSave();
            f->UpdateTitle();
        }
    });
    m_saveAsAction = file->addAction(QStringLiteral("Save &As..."), this, [this] {
        if (CChildFrame* f = ActiveDocumentFrame()) {
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
    AddPrintingCommands(*file, *m_mainFrame, *m_prompts, [this] { return ActiveChildFrame(); });
    file->addSeparator();
    file->addAction(QStringLiteral("&Load Configuration..."), this, [this] { OnFileLoadConfiguration(); });
    m_saveConfigAction = AddDocumentCommand(file, QStringLiteral("Sa&ve Configuration..."),
                                            &COrielDoc::OnFileSaveConfiguration, nullptr);
    m_revertConfigAction = AddDocumentCommand(file, QStringLiteral("&Revert To Default Configuration"),
                                              &COrielDoc::OnFileRevertToDefaultConfiguration, nullptr);
    file->addSeparator();
    m_recentMenu = file->addMenu(QStringLiteral("Recent &Files"));
    file->addSeparator();
    // No shortcut: Ctrl+Q belongs to Zoom > Selection.
    file->addAction(QStringLiteral("E&xit"), m_mainFrame.get(), &QWidget::close);
    connect(file, &QMenu::aboutToShow, this, [this] { UpdateFileMenu(); });

    QMenu* zoom = m_mainFrame->ZoomMenu();
    const struct {
        const char* text;
        QKeySequence shortcut;
        void (COrielView::*command)();
        ViewCommand rule;
    } zooms[] = {
        {"In", QKeySequence(Qt::CTRL | Qt::Key_B), &COrielView::OnZoomIn, ViewCommand::ZoomIn},
        {"Out", QKeySequence(Qt::CTRL | Qt::Key_E), &COrielView::OnZoomOut, ViewCommand::ZoomOut},
        {"Selection", QKeySequence(Qt::CTRL | Qt::Key_Q), &COrielView::OnZoomSelection, ViewCommand::ZoomSelection},
        {"From Cursor for Duration", QKeySequence(Qt::CTRL | Qt::Key_W), &COrielView::OnZoomFromCursorForDuration,
         ViewCommand::ZoomFromCursorForDuration},
        {"Home", QKeySequence(), &COrielView::OnZoomHome, ViewCommand::ZoomHome},
        {"UnZoom", QKeySequence(), &COrielView::OnZoomUnzoom, ViewCommand::ZoomUnzoom},
    };
    for (const auto& z : zooms) {
        DeclareViewCommand(zoom->addAction(QString::fromLatin1(z.text), z.shortcut, this, [this, command = z.command] {
            if (CChildFrame* f = ActiveChildFrame(); f && f->GetView())
                (f->GetView()->*command)();
        }), z.rule);
    }
    connect(m_mainFrame->MdiArea(), &QMdiArea::subWindowActivated, this, [this] { UpdateFileCommands(); });

    AddLogCommands(*m_mainFrame, *m_prompts, m_state.settings.placements[kPlacementLog],
                   [this] { return ActiveChildFrame(); });
    AddOptionCommands(*m_mainFrame->OptionsMenu(), *m_mainFrame, [this] { return ActiveChildFrame(); });
    AddChannelCommands(*m_mainFrame, [this] { return ActiveChildFrame(); });
    AddAnalysisWindowCommands(*m_mainFrame, [this] { return ActiveChildFrame(); });
    AddPlayCommands(*m_mainFrame, *m_mainFrame->OptionsMenu(), [this] { return ActiveChildFrame(); });
    AddRecordCommand(*m_mainFrame, [this] { return ActiveChildFrame(); });
    AddEditCommands(*m_mainFrame->EditMenu(), [this] { return ActiveChildFrame(); });
    AddLabelModeCommand(*m_mainFrame->LabelsMenu(), [this] { return ActiveChildFrame(); });
    AddLabelListCommand(*m_mainFrame->LabelsMenu(), *m_mainFrame->MdiArea(), [this] { return ActiveChildFrame(); });
    AddPlotFormantCommands(*m_mainFrame, [this] { OnPlotFormantsOpen(); });
    RegisterSpectrogramWindow(*m_mainFrame);
    RegisterPitchWindow(*m_mainFrame);

    QMenu* window = m_mainFrame->WindowMenu();
    window->addAction(QStringLiteral("&Cascade"), m_mainFrame->MdiArea(), &QMdiArea::cascadeSubWindows);
    window->addAction(QStringLiteral("&Tile"), m_mainFrame->MdiArea(), &QMdiArea::tileSubWindows);

    QMenu* help = m_mainFrame->HelpMenu();
    help->addAction(QStringLiteral("&Help Topics"), QKeySequence::HelpContents, this, [this] {
        // With no document window active the main frame's page is opened.
        if (ActiveChildFrame())
            OnHelpTopics();
        else
            OnMainFrameHelpTopics(m_state.startFolder, *m_prompts);
    });
    help->addAction(QStringLiteral("&About Vocomet..."), this, [this] { OnHelpAbout(); });
    InstallCommandRouting(*m_mainFrame);
    connect(m_mainFrame.get(), &CMainFrame::updatingCommands, this, [this] { UpdateFileCommands(); });
    InstallMainToolBar(*m_mainFrame);
}

QAction* COrielApp::AddDocumentCommand(QMenu* menu, const QString& text, void (COrielDoc::*command)(),
                                      bool (COrielDoc::*enabled)() const) {
    QAction* action = menu->addAction(text, this, [this, command] {
        if (CChildFrame* f = ActiveDocumentFrame()) {
            (f->GetDocument().*command)();
            f->UpdateTitle();
        }
    });
    m_documentCommands.emplace_back(action, enabled);
    return action;
}

void COrielApp::UpdateFileCommands() {
    m_closeAction->setEnabled(ActiveChildFrame() != nullptr);
    CChildFrame* f = ActiveDocumentFrame();
    const bool haveDoc = f != nullptr;
    m_saveAction->setEnabled(haveDoc);
    m_saveAsAction->setEnabled(haveDoc && f->GetDocument().CanFileSaveAs());
    for (const auto& [action, enabled] : m_documentCommands)
        action->setEnabled(haveDoc && (!enabled || (f->GetDocument().*enabled)()));
}

void COrielApp::UpdateFileMenu() {
    UpdateFileCommands();
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
    request.filterIndex = m_state.openFilterIndex;
    std::optional<platform::SaveChoice> choice = m_prompts->AskOpenChoice(request);
    if (!choice)
        return;
    // Only remembered: every reader is tried whatever the filter says.
    if (choice->filterIndex > 0)
        m_state.openFilterIndex = choice->filterIndex;
    OpenDocumentFile(QString::fromStdString(choice->path));
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
    CAboutDlg about(m_mainFrame.get());
    about.exec();
}

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_version(new QLabel(QStringLiteral("version: %1").arg(QLatin1String(kConfigurationSignature)), this)),
      m_link(new CLabel(this)),
      m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok, this)) {
    setWindowTitle(QStringLiteral("About Vocomet"));
    auto* product = new QLabel(QStringLiteral("Vocomet"), this);
    QFont bold = product->font();
    bold.setBold(true);
    product->setFont(bold);
    m_version->setObjectName(QStringLiteral("version"));
    m_link->setObjectName(QStringLiteral("link"));
    m_link->SetText(QString::fromLatin1(kWebAddress))
        .SetFontUnderline(true)
        .SetTextColor(0xFF0000)
        .SetLink(true)
        .SetLinkCursor(QCursor(Qt::PointingHandCursor));
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(product);
    layout->addWidget(m_version);
    layout->addWidget(m_link);
    layout->addSpacing(fontMetrics().height() / 2);
    layout->addWidget(m_buttons);

    // Wide enough for the whole title beside the title bar's icon and
    // buttons, which the window manager draws in about the text's height.
    const QFontMetrics fm(QApplication::font());
    setMinimumWidth(fm.horizontalAdvance(windowTitle()) + 8 * fm.height());
    setFixedSize(sizeHint().expandedTo(minimumSize()));
    OkButton()->setDefault(true);
}

QPushButton* CAboutDlg::OkButton() const { return m_buttons->button(QDialogButtonBox::Ok); }

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
