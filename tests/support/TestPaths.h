#pragma once
// Test folders: each test gets a fresh, empty folder under the build tree
// (kept after the run so failures can be inspected).

#include <set>
#include <string>

namespace vocomet::test {

// A fresh empty folder for the running test, named after its suite and test.
std::string FreshTempDir();

// The build folder and the source folder of this build.
std::string BuildDir();
std::string SourceDir();

// True when the program is on PATH (sox, espeak-ng, praat...).
bool HaveTool(const std::string& name);

// Runs a shell command; returns its exit status (0 for success).
int RunCommand(const std::string& command);

// Reads a whole file into a byte string (empty when missing).
std::string ReadAll(const std::string& path);
// Writes bytes as the whole file.
void WriteAll(const std::string& path, const std::string& bytes);

// The names of the entries of a folder.
std::set<std::string> FolderListing(const std::string& dir);

}  // namespace vocomet::test
