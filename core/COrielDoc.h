#pragma once
// The document of one recording: twenty channel slots, the channel count,
// the settings the views and analysis windows read, the file-type code of
// the file it came from and the open data file of file-backed channels. It
// opens a file by trying the format readers in a fixed order, saves through
// the writers of its file-type code, carries the File commands that act on
// one document, and names scratch files.
//
// Every setting that the settings file keeps is in `settings`; a new
// document takes them from the settings file of the temp folder.
//
// The recording itself (channels, count, code, data file) is held in a
// RecordingData that a load replaces as a whole, so a failed load leaves
// the document as it was. Views reach the channels through Channel(i).
//
// Threading: a document belongs to the user-interface thread. Workers reach
// it only through the data file's positional reads.

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/CChannels.h"
#include "core/ConfigurationCommands.h"
#include "core/DocumentFormats.h"
#include "core/DocumentSettings.h"
#include "core/FileTypeCode.h"
#include "core/RecordingData.h"
#include "platform/File.h"
#include "platform/Progress.h"
#include "platform/UserPrompts.h"
#include "platform/WinTypes.h"

namespace vocomet {

struct ApplicationState;
class CPitchView;
class CSpectrogramView;

// Fixed texts of the document's commands.
inline constexpr const char* kFailedToOpenDocument = "Failed to open document.";
inline constexpr const char* kFailedToSaveDocument = "Failed to save document.";
inline constexpr const char* kInvalidFileName = "Invalid file name.";
inline constexpr const char* kSaveOperationError = "Error in save operation.";
inline constexpr const char* kNativeAndWaveFilter = "Vocomet files (*.vcm)|*.vcm|Wave files (*.wav)|*.wav|";
// Save Selection As offers the native files under their upper-case pattern.
inline constexpr const char* kNativeAndWaveSelectionFilter = "Vocomet files (*.vcm)|*.VCM|Wave files (*.wav)|*.wav|";
inline constexpr const char* kWaveFilter = "Wave files (*.wav)|*.wav|";
inline constexpr int kNativeFilter = 1;  // save filter indices
inline constexpr int kWaveFilterIndex = 2;

// Background and trace colours of the views and analysis panes.
inline constexpr std::array<platform::ColorRef, 4> kDefaultDisplayColours{0xFFFFFF, 0x0000FF, 0xFFFF80, 0x400080};

// The windows and dialogs the document's commands need of the shell. Each
// may be left empty: see the command that uses it.
struct DocumentHooks {
    // The generic-file dialog: offered answers in, the user's answers out
    // (nothing on Cancel).
    std::function<std::optional<GenericFileAnswers>(const GenericFileAnswers& offered)> askGenericFile;
    // The channel selection dialog of the exports: the channel names, the
    // preselected index; the chosen index, nothing on Cancel. When empty,
    // the preselected channel is taken.
    std::function<std::optional<int>(const std::vector<std::string>& names, int preselected)> chooseChannel;
    // The file channel selection dialog of the multichannel readers (AIFF):
    // the file's channel count in; the 0-based channel to read out, nothing
    // on Cancel. When empty, the first channel is read.
    std::function<std::optional<int>(int channelCount)> chooseFileChannel;
    // Called when Save As makes another file the document's own (title and
    // recent-file list).
    std::function<void(const std::string& path)> pathAdopted;
    // Load, Save and Revert configuration.
    ConfigurationWindowHooks configurationWindows;
    std::function<bool()> closeAllDocuments;  // false when the user kept one open
    std::function<void()> quit;
};

class COrielDoc {
public:
    // Reads the document part of the settings file (app.ConfigurationFilePath());
    // a missing, unreadable or foreign file is replaced by the document
    // defaults, silently.
    COrielDoc(ApplicationState& app, platform::UserPrompts& prompts);
    // Closes the data file (a scratch data file of a load is removed once
    // nothing else reads it) and writes the window placements into the
    // settings file, but only into a complete settings file with the
    // signature: none is created, and a foreign one is left alone.
    virtual ~COrielDoc();

    COrielDoc(const COrielDoc&) = delete;
    COrielDoc& operator=(const COrielDoc&) = delete;

    // ---- opening and saving ----

    // Clears the path and the modified flag.
    bool OnNewDocument();
    // Tries the readers in their fixed order, then the generic-file readers.
    // True when a reader loaded the file; the document then holds the new
    // recording, takes the path and is unmodified. On false the document is
    // as it was. When a reader recognised the file but refused what it
    // holds, the failure report gives its reason and no generic reading is
    // offered.
    bool OnOpenDocument(const std::string& path);
    // Writes the whole document to path through the writer of its
    // file-type code, beside the target and renamed over it. True only when
    // the file was written; when path is the document's own path, the
    // document is then unmodified. No writer for the code, an empty path or
    // a failed write report failure and leave the file as it was.
    bool OnSaveDocument(const std::string& path);
    // Writes the document (or, with selectionOnly, each channel's selected
    // span) to path under the given code. 1 when written, 0 otherwise (no
    // writer, cannot create, writer failed). A file that cannot be created
    // and a writer's error are reported here with the system's reason; a
    // writer that gave up has spoken itself. The target is replaced only
    // when complete. The document's flags and path are not touched.
    int SaveDocumentAs(const std::string& path, int fileTypeCode, bool selectionOnly);
    // Asks before a modified document closes: true when it may close (not
    // modified, No, or Yes and the recording was saved).
    bool SaveModified();

    // ---- File menu commands ----

    void OnFileSave();
    void OnFileSaveAs();
    // Save As; true when the recording was written (false when the user
    // cancelled or the write failed, after its message).
    bool FileSaveAs();
    void OnFileSaveCopyAs();
    void OnFileSaveSelectionAs();
    void OnFileExportChannelAsWave();
    void OnFileExportSelectionChannelAsWave();
    void OnFileLoadConfiguration();
    void OnFileSaveConfiguration();
    void OnFileRevertToDefaultConfiguration();

    // Enabling rules of the commands above.
    bool CanFileSave() const { return IsModified(); }
    bool CanFileSaveAs() const { return dataLoaded != 0; }
    bool CanFileSaveCopyAs() const { return dataLoaded != 0; }
    bool CanFileExportChannelAsWave() const { return dataLoaded != 0; }
    bool CanFileSaveSelectionAs() const { return dataLoaded != 0 && selectionPresent != 0; }
    bool CanFileExportSelectionChannelAsWave() const { return dataLoaded != 0 && selectionPresent != 0; }

    // ---- settings ----

    // Sets the settings fields to their reset values (rate 22050 and the
    // analysis values that follow from it); calibration 0, 0, 1, 0 and unit
    // "normalized" for the first sixteen channels; file-type code -1. The
    // channel count, samples, flags and data file stay.
    void ResetSettings();
    // ResetSettings, then writes a full default settings file.
    bool WriteDefaultConfiguration();

    // A fresh scratch file path in the temp folder: "$$TempFile" and the
    // next number of a counter shared by all documents. Names that exist
    // are skipped; the name is reserved by creating an empty file, which the
    // caller opens (and truncates) itself.
    std::string MakeTempFileName() const;

    // ---- path, title, modified flag ----

    const std::string& GetPathName() const { return m_pathName; }
    void SetPathName(const std::string& path);
    // The title set by SetTitle, else the file name of the path, else
    // "Untitled".
    std::string GetTitle() const;
    void SetTitle(const std::string& title) { m_title = title; }
    bool IsModified() const { return m_modified; }
    void SetModifiedFlag(bool modified = true) { m_modified = modified; }

    // ---- the recording ----

    RecordingData& GetRecording() { return *m_recording; }
    const RecordingData& GetRecording() const { return *m_recording; }
    CChannels& Channel(int i) { return m_recording->channels.at(static_cast<std::size_t>(i)); }
    const CChannels& Channel(int i) const { return m_recording->channels.at(static_cast<std::size_t>(i)); }
    std::array<CChannels, kDocumentSlots>& Channels() { return m_recording->channels; }
    int GetChannelCount() const { return m_recording->channelCount; }
    void SetChannelCount(int count) { m_recording->channelCount = count; }
    int GetFileTypeCode() const { return m_recording->fileTypeCode; }
    void SetFileTypeCode(int code) { m_recording->fileTypeCode = code; }
    int GetSaveAsRequired() const { return m_recording->saveAsRequired; }
    void SetSaveAsRequired(int flag) { m_recording->saveAsRequired = flag; }
    const std::shared_ptr<platform::File>& GetDataFile() const { return m_recording->dataFile; }
    const std::string& GetDataFilePath() const { return m_recording->dataFilePath; }
    bool IsDataLoaded() const { return dataLoaded != 0; }

    // A new, empty recording for a reader or a recording loader to fill:
    // its channel slots carry the document's channel settings (calibration,
    // unit, intensity, smoothing, EGG display).
    std::unique_ptr<RecordingData> NewStagingRecording() const;
    // Takes a filled recording in place of the current one. The recording
    // let go closes its data file, and a scratch data file made for it is
    // removed once nothing else reads it.
    void AdoptRecording(std::unique_ptr<RecordingData> recording);

    // ---- services for readers and writers ----

    DocumentFormats& Formats() { return m_formats; }
    const DocumentFormats& Formats() const { return m_formats; }
    DocumentHooks& Hooks() { return m_hooks; }
    platform::UserPrompts& Prompts() { return m_prompts; }
    ApplicationState& App() { return m_app; }
    void SetProgressFactory(std::function<std::unique_ptr<platform::Progress>()> factory);
    // A progress object for a long loop (a NullProgress unless the shell set
    // a factory).
    std::unique_ptr<platform::Progress> MakeProgress() const;

    // ---- fields ----

    DocumentSettings settings;  // every setting kept in the settings file
    int dataLoaded = 0;         // 1 once a file or a recording filled the channels
    int neverSaved = 1;         // 1 until the document was written to its own file or opened
    int selectionPresent = 0;   // set by the main view
    std::array<platform::ColorRef, 4> displayColours = kDefaultDisplayColours;
    int saveFilterIndex = kNativeFilter;  // filter last chosen in the save dialogs
    // The file a recording in progress writes to (not owned).
    platform::File* recordingFile = nullptr;
    // The sixteen-channel system's recording file, made by the record
    // command (NewRendalRecordingFile); closed (no path) when none is open.
    // It goes from disk once the document has let go of it and nothing else
    // holds it: after it was loaded or discarded, or when the document closes.
    std::shared_ptr<platform::File> rendalRecordingFile = std::make_shared<platform::File>();
    // Turns the sixteen-channel system's recording file into the document's
    // channels, one per enabled acquisition record, at channel 0's rate
    // (RendalRecording.cpp). mode is not used. 1 when loaded; 0 after a
    // failure, which has been reported, leaving the document as it was.
    int LoadRendalRecording(platform::File& recording, int mode);
    // Turns a finished recording of interleaved 32-bit float frames of n
    // values into n channels at channel 0's rate (InterleavedRecording.cpp):
    // named "Left", "Right" while the audio box is present, else "Audio";
    // then "ch%d". Shorter than kInterleavedOnDiskSeconds it goes into
    // memory and the file is closed and removed; longer, the file (moved out
    // of recording) becomes the data file, removed when nothing reads it.
    // 1 when loaded; 0 for n < 1, no rate or a failure, leaving the document
    // as it was.
    int LoadInterleavedRecording(platform::File& recording, int n);
    static constexpr std::int64_t kInterleavedOnDiskSeconds = 180;
    std::array<int, 4> pitchUnpersisted{};  // pitch window values the settings file does not keep
    std::array<int, 2> viewState{};         // label and pane state shared by the main view and the panes
    // The pitch and spectrogram views open on this document (null when none).
    CPitchView* pitchView = nullptr;
    CSpectrogramView* spectrogramView = nullptr;

private:
    // A recording was just loaded: the document holds unsaved data, its
    // settings take channel 0's rate, count and duration, and a new
    // application rate resets the analyses' rate-bound defaults.
    void TakeNewRecordingSettings(int rate);

    enum class WriteOutcome { Written, NoWriter, CannotCreate, WriterAbandoned, WriterFailed };
    // Why a write failed: the message's first line and the reason (the
    // system's, for a file that could not be made; empty when there is
    // nothing to tell).
    struct WriteFailure {
        const char* prompt = kFailedToSaveDocument;
        std::string reason;
    };
    // Save; true when the recording was written.
    bool FileSave();
    // Writes through a scratch file beside path with the writer of code.
    WriteOutcome WriteFile(const std::string& path, int fileTypeCode, const WriteRequest& request,
                           WriteFailure& failure);
    void ReportWriteFailure(const WriteFailure& failure);
    // The code Save As and the copies write for a chosen filter.
    int CodeForFilter(int filterIndex) const;
    // The filter a chosen path belongs to, by its extension in any case;
    // 0 when it matches none.
    static int FilterForPath(const std::string& path);
    // The path with the filter's extension added when its name has none.
    static std::string WithFilterExtension(const std::string& path, int filterIndex);
    // Default file names start from this: the path's stem, else the title's.
    std::string DefaultNameStem() const;
    // What Save As offers: the document's own file in its own folder, less
    // its extension, which the filter picked puts back (a document read
    // from a format these saves do not write must not be offered under that
    // format's name).
    std::string OwnNameProposal() const;
    bool CanSaveInPlace() const;
    void SaveCopy(bool selectionOnly);
    // The native-and-WAV save chooser, starting at the remembered filter.
    // The answer holds the filter whose format is to be written (the one a
    // typed .vcm or .wav names, else the one picked; remembered for the next
    // time) and the path with that filter's extension when the name had none.
    std::optional<platform::SaveChoice> AskSaveTarget(const std::string& title, const std::string& initialPath,
                                                      const char* filter);
    void ExportChannel(bool selectionOnly);
    void ApplySettingsToChannels();
    void CollectChannelSettings();
    // Runs reader; adopts the recording it made on kReaderLoaded (with
    // anyNonzeroLoads, on any result but kReaderEndOpen). Keeps the first
    // refusal reason in refusal; failed is set when the reader threw.
    int RunReader(const DocumentReader& reader, platform::File& file, bool anyNonzeroLoads, std::string& refusal,
                  bool& failed);
    void FinishLoad(const std::string& path);
    void ReportLoadSaveError(const char* prompt, const std::string& detail);

    ApplicationState& m_app;
    platform::UserPrompts& m_prompts;
    DocumentFormats m_formats;
    DocumentHooks m_hooks;
    std::function<std::unique_ptr<platform::Progress>()> m_progressFactory;
    std::unique_ptr<RecordingData> m_recording;
    std::string m_pathName;
    std::string m_title;
    bool m_modified = false;
};

}  // namespace vocomet
