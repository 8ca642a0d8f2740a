#pragma once
// Reading and writing the settings file at start-up, at exit, when a
// document is made and when it closes. Every write goes through a scratch
// file beside the target and a rename. A routine that patches the file reads
// it first and changes only its own fields.

#include <functional>
#include <string>

#include "core/ConfigurationBlock.h"

namespace vocomet {

struct ApplicationSettings;
struct DocumentSettings;

// The one routine behind every command that writes some fields into the
// settings file: reads the whole block into a zero-filled buffer, and only
// when the read was full and the signature is there lets patch change its
// fields (and only them: the signature field is left as the file has it),
// then writes the block through a scratch file and a rename. A
// missing, short or foreign file is left alone (stamping the signature on it
// would make foreign bytes look like settings) and false comes back. A patch
// that changes no byte writes nothing (and returns true).
bool PatchConfigurationFile(const std::string& path, const std::function<void(ConfigurationBlock&)>& patch);

// --- start-up and exit --------------------------------------------------------

// The start-up read: reads the file into a zeroed block; when it has the
// signature, takes the application part (ReadStartupApplicationPart).
// Otherwise (missing, unreadable, foreign) writes the start-up defaults over
// it, keeping the settings in memory as they are. Returns false only when
// that write failed (start-up then ends). Nothing is reported to the user.
bool LoadConfigurationBlock(const std::string& path, ApplicationSettings& app);

// Puts the start-up defaults into block, over whatever it holds: signature,
// play-grid value, routing texts, record/play value, connector texts and
// the four ChannelSetup arrays, the placements, every document field with
// its start-up default (sample rate = the application's current rate), the
// recording-form settings and the default formant-plot font. The unused
// regions keep their bytes.
void FillStartupDefaults(ConfigurationBlock& block, const ApplicationSettings& app);

// FillStartupDefaults, then writes the block. False when the write failed.
bool WriteDefaultConfigurationBlock(const std::string& path, ConfigurationBlock& block,
                                    const ApplicationSettings& app);

// The exit patch: signature, play-grid value, routing texts, record/play
// value and recording-form settings. Writes nothing (and returns false) when
// the file cannot be read, is shorter than a block, lacks the signature or
// cannot be written. When the patch changes no byte the file is not touched
// (and the result is true).
bool WriteExitConfiguration(const std::string& path, const ApplicationSettings& app);

// What a closing document writes: the signature and the eleven placements,
// on the same terms as the exit patch.
bool WriteClosingPlacements(const std::string& path, const ApplicationSettings& app);

// --- documents ----------------------------------------------------------------

// The block the document default writer makes: a zeroed block with the
// signature, play-grid value, routing texts, record/play value, the four
// ChannelSetup arrays (connector texts empty), placements, the document part
// of settings, and the recording-form settings.
ConfigurationBlock MakeDocumentDefaultBlock(const ApplicationSettings& app, const DocumentSettings& settings);

// The document default writer: resets settings (DocumentSettings::ResetSettings)
// and writes MakeDocumentDefaultBlock over the file. False when the write
// failed; settings are reset either way.
bool WriteDefaultConfiguration(const std::string& path, const ApplicationSettings& app, DocumentSettings& settings);

// A new document's read: when the file can be read and has the signature,
// ReadDocumentPart; otherwise WriteDefaultConfiguration. True when the
// settings came from the file. Silent either way.
bool ReadDocumentConfiguration(const std::string& path, const ApplicationSettings& app, DocumentSettings& settings);

}  // namespace vocomet
