// Small operating-system services: where the executable is, file existence,
// replacing a file in one step.
#pragma once

#include <string>

namespace platform {

// Full path of the running executable (not the working directory).
std::string ExecutablePath();
// The folder part of a path, with its trailing separator ("" when none).
std::string DirectoryOf(const std::string& path);
bool FileExists(const std::string& path);
bool ReadWholeFile(const std::string& path, std::string& bytes);
// Writes the bytes beside the file and renames them over it, so that a reader
// (or a program killed half-way) sees either the old or the new content whole.
// Only when the folder refuses the new file but the file itself is writable is
// the file rewritten where it stands, which is not atomic.
bool ReplaceFileAtomically(const std::string& path, const std::string& bytes);
// Makes what was written to the file reach the disk.
bool FlushFileToDisk(const std::string& path);

}  // namespace platform
