#include "player_status.h"

#include <cstdlib>
#include <sstream>
#include <vector>

#include "base/stream_vocabulary.h"

namespace {

bool ToNumber(const std::string& field, long long& value) {
  if (field.empty()) return false;
  char* end = nullptr;
  value = std::strtoll(field.c_str(), &end, 10);
  return *end == '\0';
}

}  // namespace

bool ParsePlayerStatus(const std::string& text, TracedPlayerStatus& status) {
  std::vector<std::string> fields;
  std::istringstream in(text);
  for (std::string field; std::getline(in, field, ';');) fields.push_back(field);
  if (!text.empty() && text.back() == ';') fields.emplace_back();
  long long state = 0, bits = 0, kind = 0;
  if (fields.size() != 12 || !ToNumber(fields[5], state) || !ToNumber(fields[7], bits) || !ToNumber(fields[8], kind))
    return false;
  status.acid = fields[1];
  status.session1 = fields[2];
  status.session2 = fields[3];
  status.time = fields[4];
  status.state = static_cast<int>(state);
  status.bits = static_cast<uint32_t>(bits);
  status.kind = static_cast<int>(kind);
  return true;
}

std::string PlayerStateName(int state) {
  switch (state) {
    case kPlayerStateActive: return "playing";
    case kPlayerStateClosing: return "closing";
    case kPlayerStateIdle: return "idle";
    default: return "";
  }
}
