// The files the lesson tools write beside the settings file (the lesson's
// report and the seating plan as PDF): in a `lessons` folder of the user's
// own, each replaced whole and only when it is safe (platform/safereplace.h).
#pragma once

#include <string>

namespace console {

// "<settingsFolder>lessons/", made for the user alone when missing. "" with
// the Russian reason in `problem` when a link, a file or another user's
// folder stands at that name (nothing is written through it).
std::string LessonsFolder(const std::string& settingsFolder, std::string& problem);

// Writes the bytes as the file at `path`: a new file beside it, flushed, then
// renamed over it, so a full disk leaves no empty or cut file. Refused
// through a link, or over another user's file in a folder others may write.
// "" when written, else the Russian reason, which names the file.
std::string WriteLessonFile(const std::string& path, const std::string& bytes);

}  // namespace console
