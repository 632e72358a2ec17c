// Reads a log file as the lines a reader sees, without their timestamps, so tests compare whole lines.
#pragma once

#include <string>
#include <vector>

// Every line must end in CR LF and start with "MM/DD/YY-HH:MM:SS.mmm "; a line that does not is returned
// with the marker "<malformed> " in front, so a comparison fails and shows it.
std::vector<std::string> ReadLogLines(const std::string& path);

// The header block the log writes when it opens a file, for a process with this id and image name, when
// none of the versioned files has a version (the case off Windows and for absent plug-ins).
std::vector<std::string> HeaderBlockLines(unsigned long processId, const std::string& imageName);
