#pragma once
// Which scratch files belong to which run of the program, so that the files
// a run left behind when it ended without cleaning up (a crash, a kill, a
// power cut) are cleared at the next start, and never a file that another
// running instance uses.
//
// Every run keeps a record in the temp folder, "$$TempRun" followed by its
// process id: the full paths of the scratch files it makes, one a line, each
// written before the file is made. The run holds an exclusive lock (flock)
// on its record for as long as it runs, and the system drops that lock when
// the process ends, however it ends. So a record whose lock can be taken is
// the record of a run that has ended, and the files it names are leftovers,
// except those a running instance names too: names are handed out by
// exclusive create, so a name an ended run once used may be in use again.
//
// Clearing leftovers and noting a new name must not interleave (a name noted
// after the sweep read the running records, and made before it removed the
// leftovers, would be taken for one), so both lock the temp folder itself:
// a sweep exclusively, noting a name shared.
//
// The scratch files' names stay as they are; the record only lists them.

#include <string>

namespace platform {

// The prefix of the runs' records in the temp folder.
inline constexpr const char* kScratchRunPrefix = "$$TempRun";

// Clears what ended runs left (the files their records name, then the
// records), then starts this run's record in folder. A run already begun in
// another folder ends first. False when no record could be made: the run goes
// on without one, its files still removed as it lets go of them.
bool BeginScratchRun(const std::string& folder);

// Notes a scratch file this run is about to make: call it before the file is
// made. Nothing when no run has begun.
void NoteScratchFile(const std::string& path);

// This run ends: removes the files it noted that are still there and that no
// running instance names, then its record; waits until their space is given
// back. Nothing when no run has begun.
void EndScratchRun();

}  // namespace platform
