#include "support/log_reader.h"

#include <regex>

#include "support/temp_dir.h"

std::vector<std::string> ReadLogLines(const std::string& path) {
  static const std::regex stamp(R"(^\d\d/\d\d/\d\d-\d\d:\d\d:\d\d\.\d\d\d )");
  const std::string bytes = ReadWholeFile(path);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find("\r\n", start);
    const bool terminated = end != std::string::npos;
    if (!terminated) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    std::smatch match;
    if (terminated && std::regex_search(line, match, stamp))
      lines.push_back(line.substr(match.length()));
    else
      lines.push_back("<malformed> " + line);
    start = terminated ? end + 2 : end;
  }
  return lines;
}

std::vector<std::string> HeaderBlockLines(unsigned long processId, const std::string& imageName) {
  const std::string rule(62, '=');
  std::vector<std::string> lines = {rule, "Process ID: " + std::to_string(processId), "Image Name: " + imageName};
  for (const char* file : {"QelVorlaProxy.dll", "QelVideoProxy_WMP.dll", "QelVideoProxy_SS.dll", "QelVideoProxy_VFN.dll"})
    lines.push_back(std::string("DisplayDllVersion: File=") + file + ", Failed to get version number");
  lines.push_back(rule);
  return lines;
}
