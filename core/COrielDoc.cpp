#include "core/COrielDoc.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <new>
#include <utility>

#include "core/ApplicationSettings.h"
#include "core/ApplicationState.h"
#include "core/ConfigurationBlock.h"
#include "core/ConfigurationFile.h"
#include "platform/BinaryFile.h"
#include "platform/FailureText.h"

namespace vocomet {

namespace {

constexpr const char* kUntitled = "Untitled";

// One counter for every document of the process.
std::atomic<long long> g_tempFileCounter{0};

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

std::string LowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// A channel name as part of a default file name: no folder separators.
std::string FileNamePart(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c == '/' || c == '\0')
            c = '_';
    return out;
}

// The persisted settings of the first sixteen channels. Calibration and
// unit are left out when only the intensity and smoothing fields apply.
void ApplyChannelSettings(const ChannelSettings& s, CChannels& c, bool withCalibration) {
    c.intensityWindow = s.intensityWindow;
    c.intensityStep = s.intensityStep;
    c.relativeIntensity = s.intensityMode;
    c.smoothingOn = s.smoothingSwitch;
    c.smoothingPoints = s.smoothingPoints;
    if (withCalibration) {
        c.calA = s.calibration[0];
        c.calB = s.calibration[1];
        c.calC = s.calibration[2];
        c.calD = s.calibration[3];
        c.unit = s.unit;
    }
}

}  // namespace

COrielDoc::COrielDoc(ApplicationState& app, platform::UserPrompts& prompts)
    : m_app(app),
      m_prompts(prompts),
      m_formats(StandardDocumentFormats()),
      m_recording(std::make_unique<RecordingData>()) {
    if (!ReadDocumentConfiguration(m_app.ConfigurationFilePath(), m_app.settings, settings))
        ResetSettings();  // the defaults were written in place of the file
    ApplySettingsToChannels();
}

COrielDoc::~COrielDoc() {
    // The data file closes when the last channel holding it lets go.
    m_recording->dataFile.reset();
    // Only the placements go back, and only into a complete settings file:
    // a short or foreign file is not ours to fill in, and a missing one stays
    // missing (Revert To Default Configuration relies on that).
    try {
        WriteClosingPlacements(m_app.ConfigurationFilePath(), m_app.settings);
    } catch (const std::exception&) {
        // Nothing is reported while a document closes.
    }
}

// ---- settings ---------------------------------------------------------------

void COrielDoc::ApplySettingsToChannels() {
    for (int i = 0; i < kPersistedChannels; ++i)
        ApplyChannelSettings(settings.channels[static_cast<std::size_t>(i)], Channel(i), true);
    const EggSettings& egg = settings.egg;
    if (egg.channel >= 0 && egg.channel < kDocumentSlots) {
        CChannels& c = Channel(egg.channel);
        c.velocitySmoothing = egg.velocitySmoothing;
        c.accelerationSmoothing = egg.accelerationSmoothing;
        c.drawVelocity = egg.showVelocity;
        c.drawAcceleration = egg.showAcceleration;
        c.drawPeaks = egg.showPeaks;
        c.drawValleys = egg.showValleys;
        c.drawThresholdMarks = egg.showThreshold;
    }
}

void COrielDoc::CollectChannelSettings() {
    for (int i = 0; i < kPersistedChannels; ++i) {
        const CChannels& c = Channel(i);
        ChannelSettings& s = settings.channels[static_cast<std::size_t>(i)];
        s.intensityWindow = c.intensityWindow;
        s.intensityStep = c.intensityStep;
        s.intensityMode = c.relativeIntensity;
        s.smoothingSwitch = c.smoothingOn;
        s.smoothingPoints = c.smoothingPoints;
        s.calibration = {c.calA, c.calB, c.calC, c.calD};
        s.unit = c.unit;
    }
}

void COrielDoc::ResetSettings() {
    settings.ResetSettings();
    displayColours = kDefaultDisplayColours;
    saveFilterIndex = kNativeFilter;
    pitchUnpersisted = {};
    viewState = {};
    for (int i = 0; i < kPersistedChannels; ++i) {
        CChannels& c = Channel(i);
        c.calA = 0.0;
        c.calB = 0.0;
        c.calC = 1.0;
        c.calD = 0.0;
        c.unit = "normalized";
    }
    SetFileTypeCode(kFileTypeNone);
}

bool COrielDoc::WriteDefaultConfiguration() {
    ResetSettings();
    return vocomet::WriteDefaultConfiguration(m_app.ConfigurationFilePath(), m_app.settings, settings);
}

std::string COrielDoc::MakeTempFileName() const {
    // The name is reserved by creating it exclusively, so a leftover file of
    // an earlier run, or another program's, is never taken over.
    std::string path;
    for (int attempt = 0; attempt < 1000000; ++attempt) {
        path = JoinPath(m_app.tempFolder, "$$TempFile" + std::to_string(++g_tempFileCounter));
        if (platform::ReserveScratchFile(path))
            return path;
        // Not there but not creatable either (folder gone, no rights): the
        // caller's own create reports that.
        if (!platform::PathExists(path))
            return path;
    }
    return path;
}

// ---- path, title, recording, services ----------------------------------------

bool COrielDoc::OnNewDocument() {
    m_pathName.clear();
    m_title.clear();
    m_modified = false;
    return true;
}

void COrielDoc::SetPathName(const std::string& path) {
    m_pathName = path;
    m_title = path.empty() ? std::string() : std::filesystem::path(path).filename().string();
}

std::string COrielDoc::GetTitle() const {
    if (!m_title.empty())
        return m_title;
    if (!m_pathName.empty())
        return std::filesystem::path(m_pathName).filename().string();
    return kUntitled;
}

std::string COrielDoc::DefaultNameStem() const {
    const std::string source = m_pathName.empty() ? GetTitle() : m_pathName;
    return std::filesystem::path(source).stem().string();
}

std::unique_ptr<RecordingData> COrielDoc::NewStagingRecording() const {
    auto recording = std::make_unique<RecordingData>();
    for (std::size_t i = 0; i < recording->channels.size(); ++i)
        CopyChannelSettings(m_recording->channels[i], recording->channels[i]);
    return recording;
}

void COrielDoc::AdoptRecording(std::unique_ptr<RecordingData> recording) {
    if (recording)
        m_recording = std::move(recording);
}

void COrielDoc::SetProgressFactory(std::function<std::unique_ptr<platform::Progress>()> factory) {
    m_progressFactory = std::move(factory);
}

std::unique_ptr<platform::Progress> COrielDoc::MakeProgress() const {
    if (m_progressFactory)
        if (auto progress = m_progressFactory())
            return progress;
    return std::make_unique<platform::NullProgress>();
}

void COrielDoc::ReportLoadSaveError(const char* prompt, const std::string& detail) {
    m_prompts.Message(platform::WithReason(prompt, detail));
}

// ---- opening -------------------------------------------------------------------

int COrielDoc::RunReader(const DocumentReader& reader, platform::File& file, bool anyNonzeroLoads,
                         std::string& refusal, bool& failed) {
    // The staging recording is made only when the reader accepts the file.
    LoadTarget target([this] { return NewStagingRecording(); });
    try {
        file.Seek(0);
        const int result = reader(*this, file, target);
        if (result == kReaderLoaded || (anyNonzeroLoads && result != kReaderEndOpen)) {
            target.Recording();  // a reader that filled nothing loaded an empty recording
            AdoptRecording(target.Take());
        } else if (refusal.empty()) {
            refusal = target.Refusal();
        }
        return result;
    } catch (const platform::UserException&) {
        // The reader has said why, or there is nothing to say.
    } catch (const std::exception& e) {
        ReportLoadSaveError(kFailedToOpenDocument, platform::FailureReason(e));
    }
    failed = true;
    return kReaderEndOpen;
}

void COrielDoc::FinishLoad(const std::string& path) {
    dataLoaded = 1;
    neverSaved = 0;
    const CChannels& first = Channel(0);
    settings.sampleRate = first.rate;
    settings.sampleCount = first.sampleCount;
    settings.duration = first.duration;
    if (std::isfinite(first.rate) && first.rate > 0.0)
        m_app.settings.currentSampleRate = first.rate;
    // The settings file may have been made for a higher rate: this
    // document's copy must stay analysable without a trip to Options.
    LimitAnalysisToRate(settings, first.rate);
    SetPathName(path);
    m_modified = false;
}

bool COrielDoc::OnOpenDocument(const std::string& path) {
    platform::File file;
    try {
        file = platform::File(path, platform::File::Mode::Read);
    } catch (const platform::FileException& e) {
        ReportLoadSaveError(kFailedToOpenDocument, e.what());
        return false;
    }

    platform::BusyGuard busy(m_prompts);
    bool failed = false;
    std::string refusal;  // why a reader that knew the file could not load it
    for (int i = 0; i < kChainedReaderCount; ++i) {
        const DocumentReader& reader = m_formats.GetReader(static_cast<ReaderSlot>(i));
        if (!reader)
            continue;
        const int result = RunReader(reader, file, false, refusal, failed);
        if (failed || result == kReaderEndOpen)
            return false;
        if (result == kReaderLoaded) {
            FinishLoad(path);
            return true;
        }
    }

    // A reader knew the file but not what it holds: say so. Reading it as a
    // generic file would only turn its header and samples into noise.
    if (!refusal.empty()) {
        ReportLoadSaveError(kFailedToOpenDocument, refusal);
        return false;
    }

    // No reader knew the file: offer to read it as a generic file.
    const DocumentReader& integerReader = m_formats.GetReader(ReaderSlot::ReadIntegerBinaryFile);
    const DocumentReader& asciiReader = m_formats.GetReader(ReaderSlot::ReadAsciiFile);
    if (!integerReader || !asciiReader || !m_hooks.askGenericFile) {
        ReportLoadSaveError(kFailedToOpenDocument, "");
        return false;
    }
    // The dialog always offers the same answers, whatever was answered last.
    const std::optional<GenericFileAnswers> answers = m_hooks.askGenericFile(GenericFileAnswers{});
    if (!answers)
        return false;
    settings.genericAnswers = *answers;
    // The generic readers answer only loaded or not: any result but 0 loaded
    // the file.
    int result = kReaderEndOpen;
    if (answers->integerBinary != 0) {
        result = RunReader(integerReader, file, true, refusal, failed);
        if (!failed && result == kReaderEndOpen)
            result = RunReader(asciiReader, file, true, refusal, failed);
    } else {
        result = RunReader(asciiReader, file, true, refusal, failed);
    }
    if (failed || result == kReaderEndOpen)
        return false;
    FinishLoad(path);
    return true;
}

// ---- saving --------------------------------------------------------------------

COrielDoc::WriteOutcome COrielDoc::WriteFile(const std::string& path, int fileTypeCode,
                                             const WriteRequest& request, WriteFailure& failure) {
    const DocumentWriter* writer = m_formats.FindWriter(fileTypeCode);
    if (!writer)
        return WriteOutcome::NoWriter;
    std::unique_ptr<platform::ScratchReplacement> scratch;
    try {
        scratch = std::make_unique<platform::ScratchReplacement>(path);
    } catch (const platform::FileException& e) {
        // A name that leads nowhere is the user's to fix; anything else (no
        // rights, a read-only folder, a full disk) is the system's, and its
        // reason is what the user needs to hear.
        const auto cause = e.GetCause();
        failure.prompt = cause == platform::FileException::Cause::BadPath ||
                                 cause == platform::FileException::Cause::FileNotFound
                             ? kInvalidFileName
                             : kFailedToSaveDocument;
        failure.reason = e.what();
        return WriteOutcome::CannotCreate;
    } catch (const std::exception& e) {
        failure.reason = platform::FailureReason(e);
        return WriteOutcome::CannotCreate;
    }
    platform::BusyGuard busy(m_prompts);
    WriteRequest toTarget = request;
    toTarget.targetPath = path;
    try {
        (*writer)(*this, scratch->GetFile(), toTarget);
        // A writer that wrote nothing has not saved anything: the target
        // keeps what it held.
        if (scratch->GetFile().GetLength() == 0) {
            failure.reason = "Nothing was written.";
            return WriteOutcome::WriterFailed;
        }
        scratch->Commit();
        return WriteOutcome::Written;
    } catch (const platform::UserException&) {
        return WriteOutcome::WriterAbandoned;
    } catch (const std::exception& e) {
        failure.reason = platform::FailureReason(e);
    }
    return WriteOutcome::WriterFailed;
}

void COrielDoc::ReportWriteFailure(const WriteFailure& failure) {
    ReportLoadSaveError(failure.prompt, failure.reason);
}

bool COrielDoc::OnSaveDocument(const std::string& path) {
    if (path.empty()) {
        ReportLoadSaveError(kInvalidFileName, "");
        return false;
    }
    WriteFailure failure;
    const WriteRequest request{false, 0, GetChannelCount(), false, {}};
    switch (WriteFile(path, GetFileTypeCode(), request, failure)) {
    case WriteOutcome::Written:
        if (path == m_pathName) {
            SetSaveAsRequired(0);
            neverSaved = 0;
            m_modified = false;
        }
        return true;
    case WriteOutcome::NoWriter:
        ReportLoadSaveError(kFailedToSaveDocument,
                            std::string("This document cannot be saved as ") + FileTypeName(GetFileTypeCode()) + ".");
        return false;
    case WriteOutcome::CannotCreate:
    case WriteOutcome::WriterFailed:
        ReportWriteFailure(failure);
        return false;
    case WriteOutcome::WriterAbandoned:
        return false;
    }
    return false;
}

int COrielDoc::SaveDocumentAs(const std::string& path, int fileTypeCode, bool selectionOnly) {
    WriteFailure failure;
    const WriteRequest request{selectionOnly, 0, GetChannelCount(), false, {}};
    const WriteOutcome outcome = WriteFile(path, fileTypeCode, request, failure);
    if (outcome == WriteOutcome::CannotCreate || outcome == WriteOutcome::WriterFailed)
        ReportWriteFailure(failure);
    return outcome == WriteOutcome::Written ? 1 : 0;
}

std::string COrielDoc::OwnNameProposal() const {
    if (m_pathName.empty())
        return DefaultNameStem();
    const std::filesystem::path own(m_pathName);
    return (own.parent_path() / own.stem()).string();
}

bool COrielDoc::CanSaveInPlace() const {
    const int code = GetFileTypeCode();
    return !m_pathName.empty() && neverSaved == 0 && GetSaveAsRequired() == 0 && IsSavedInPlace(code) &&
           m_formats.FindWriter(code) != nullptr;
}

int COrielDoc::FilterForPath(const std::string& path) {
    const std::string extension = LowerAscii(std::filesystem::path(path).extension().string());
    if (extension == ".vcm")
        return kNativeFilter;
    if (extension == ".wav")
        return kWaveFilterIndex;
    return 0;
}

std::string COrielDoc::WithFilterExtension(const std::string& path, int filterIndex) {
    const std::string extension = std::filesystem::path(path).extension().string();
    if (!extension.empty() && extension != ".")
        return path;
    const char* added = filterIndex == kWaveFilterIndex ? "wav" : "vcm";
    return path + (extension == "." ? "" : ".") + added;
}

int COrielDoc::CodeForFilter(int filterIndex) const {
    const int code = GetFileTypeCode();
    if (filterIndex == kNativeFilter)
        return code == kFileTypeNativeByChannel || code == kFileTypeUsb2Float ? code : kFileTypeNativeFloat24;
    if (filterIndex == kWaveFilterIndex)
        return kFileTypeWave;
    return kFileTypeNativeFloat24;
}

void COrielDoc::OnFileSave() { FileSave(); }

bool COrielDoc::FileSave() {
    if (!CanSaveInPlace())
        return FileSaveAs();
    return OnSaveDocument(m_pathName);
}

std::optional<platform::SaveChoice> COrielDoc::AskSaveTarget(const std::string& title, const std::string& initialPath,
                                                             const char* filter) {
    platform::FileDialogRequest request;
    request.title = title;
    request.filter = filter;
    request.initialPath = initialPath;
    request.defaultSuffix = "vcm";
    request.filterIndex = saveFilterIndex;
    std::optional<platform::SaveChoice> choice = m_prompts.AskSaveChoice(request);
    if (!choice)
        return std::nullopt;
    // An extension the user typed that names a format these saves write
    // decides the format, whatever filter was left selected: a file named
    // x.wav must hold WAV, or no other program can read it. Otherwise the
    // filter picked decides (from a chooser that cannot say, the one it
    // opened with), and a bare name gets that filter's extension.
    const int typed = FilterForPath(choice->path);
    if (typed != 0)
        choice->filterIndex = typed;
    else if (choice->filterIndex == 0)
        choice->filterIndex = request.filterIndex;
    if (choice->filterIndex == kNativeFilter || choice->filterIndex == kWaveFilterIndex)
        saveFilterIndex = choice->filterIndex;
    choice->path = WithFilterExtension(choice->path, choice->filterIndex);
    return choice;
}

void COrielDoc::OnFileSaveAs() { FileSaveAs(); }

bool COrielDoc::FileSaveAs() {
    const std::optional<platform::SaveChoice> choice =
        AskSaveTarget("Save file As", OwnNameProposal(), kNativeAndWaveFilter);
    if (!choice)
        return false;
    const std::string& path = choice->path;
    const int code = CodeForFilter(choice->filterIndex);
    // A document whose own format is written only through Save As (or that
    // has none) takes the file it is saved as; any other keeps its own file
    // unless it was written under its own code.
    const bool becomesOwnFile =
        code == GetFileTypeCode() || GetSaveAsRequired() != 0 || !IsSavedInPlace(GetFileTypeCode());
    WriteFailure failure;
    const WriteRequest request{false, 0, GetChannelCount(), false, {}};
    if (WriteFile(path, code, request, failure) != WriteOutcome::Written) {
        m_prompts.Beep();
        m_prompts.Message(platform::WithReason(kSaveOperationError, failure.reason));
        return false;
    }
    if (becomesOwnFile) {
        SetFileTypeCode(code);
        SetPathName(path);
        SetSaveAsRequired(0);
        neverSaved = 0;
        m_modified = false;
        if (m_hooks.pathAdopted)
            m_hooks.pathAdopted(path);
    } else if (path == m_pathName) {
        // The document's own file now holds another format.
        m_modified = true;
    }
    return true;
}

void COrielDoc::SaveCopy(bool selectionOnly) {
    const std::optional<platform::SaveChoice> choice =
        AskSaveTarget(selectionOnly ? "Save Selection As" : "Save a Copy As",
                      (selectionOnly ? "Sel_" : "Copy_") + DefaultNameStem(),
                      selectionOnly ? kNativeAndWaveSelectionFilter : kNativeAndWaveFilter);
    if (!choice)
        return;
    const std::string& path = choice->path;
    const int code = CodeForFilter(choice->filterIndex);
    WriteFailure failure;
    const WriteRequest request{selectionOnly, 0, GetChannelCount(), false, {}};
    if (WriteFile(path, code, request, failure) != WriteOutcome::Written) {
        m_prompts.Beep();
        // Only a failure with a reason (the file system's, or the writer's
        // own error) has anything to tell.
        if (!failure.reason.empty())
            ReportWriteFailure(failure);
        return;
    }
    // A copy leaves the document's state alone, unless it went over the
    // document's own file: then that file is either the document exactly or
    // no longer the document.
    if (path == m_pathName)
        m_modified = selectionOnly || code != GetFileTypeCode();
}

void COrielDoc::OnFileSaveCopyAs() { SaveCopy(false); }

void COrielDoc::OnFileSaveSelectionAs() { SaveCopy(true); }

void COrielDoc::ExportChannel(bool selectionOnly) {
    std::string name = (selectionOnly ? "Export_Sel_" : "Export_") + DefaultNameStem();
    const int count = GetChannelCount();
    int channel = 0;
    if (count >= 2) {
        if (m_hooks.chooseChannel) {
            std::vector<std::string> names;
            for (int i = 0; i < count && i < kDocumentSlots; ++i)
                names.push_back(Channel(i).name);
            const std::optional<int> chosen = m_hooks.chooseChannel(names, 0);
            if (!chosen)
                return;
            channel = *chosen;
        }
        if (channel < 0 || channel >= count || channel >= kDocumentSlots)
            return;
    }
    name += "_" + FileNamePart(Channel(channel).name);

    platform::FileDialogRequest request;
    request.title = selectionOnly ? "Save Selection of a Data Channel As" : "Save a Data Channel As";
    request.filter = kWaveFilter;
    request.initialPath = name;
    request.defaultSuffix = "wav";
    request.filterIndex = 1;  // the only filter
    const std::optional<std::string> path = m_prompts.AskSavePath(request);
    if (!path)
        return;

    WriteFailure failure;
    const WriteRequest write{selectionOnly, channel, count, true, {}};
    switch (WriteFile(*path, kFileTypeWave, write, failure)) {
    case WriteOutcome::Written:
        if (*path == m_pathName)
            m_modified = true;  // the document's own file now holds one channel
        break;
    case WriteOutcome::CannotCreate:
        ReportWriteFailure(failure);
        m_prompts.Beep();
        break;
    case WriteOutcome::NoWriter:
        ReportLoadSaveError(kFailedToSaveDocument, "WAV files cannot be written.");
        break;
    case WriteOutcome::WriterAbandoned:
        break;
    case WriteOutcome::WriterFailed:
        ReportWriteFailure(failure);
        break;
    }
}

void COrielDoc::OnFileExportChannelAsWave() { ExportChannel(false); }

void COrielDoc::OnFileExportSelectionChannelAsWave() { ExportChannel(true); }

bool COrielDoc::SaveModified() {
    if (!IsModified())
        return true;
    const platform::Answer answer =
        m_prompts.Message("Save Changes to ' " + GetTitle() + " ' before closing ?", platform::Buttons::YesNoCancel,
                          platform::Icon::Question);
    if (answer == platform::Answer::Cancel)
        return false;
    if (answer == platform::Answer::No)
        return true;
    // A failed or cancelled save keeps the document open; a save that
    // wrote the recording lets it close, even when it went to a file of
    // another format that the document did not take as its own.
    return FileSave();
}

// ---- configuration commands -------------------------------------------------------

void COrielDoc::OnFileLoadConfiguration() {
    if (!LoadConfiguration(m_prompts, m_app, settings, m_hooks.configurationWindows))
        return;
    for (int i = 0; i < kPersistedChannels; ++i)
        ApplyChannelSettings(settings.channels[static_cast<std::size_t>(i)], Channel(i), false);
}

void COrielDoc::OnFileSaveConfiguration() {
    // The intensity and smoothing dialog edits the channels directly.
    CollectChannelSettings();
    SaveConfiguration(m_prompts, m_app, settings);
}

void COrielDoc::OnFileRevertToDefaultConfiguration() {
    // Closing every document destroys this one too: take what the command
    // needs out of it first.
    platform::UserPrompts& prompts = m_prompts;
    const ApplicationState& app = m_app;
    const std::function<bool()> closeAll =
        m_hooks.closeAllDocuments ? m_hooks.closeAllDocuments : std::function<bool()>([] { return false; });
    const std::function<void()> quit = m_hooks.quit ? m_hooks.quit : std::function<void()>([] {});
    RevertToDefaultConfiguration(prompts, app, closeAll, quit);
}

}  // namespace vocomet
