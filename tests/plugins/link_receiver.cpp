// Second process of the media-link delivery test: subscribes a window of its own, signals that it is
// ready, waits for one stop notice and writes what arrived ("wParam lParam" in hex) to a file.
//   link_receiver READY_EVENT RESULT_FILE
// Exit code 0 when a notice arrived, 2 when none did, 3 on a setup failure.
#include <cstdio>

#include "link_window.h"
#include "plugins/vorla_link_plugin.h"

int main(int argc, char** argv) {
  if (argc != 3) return 3;
  LinkWindow window;
  CVorlaLinkPlugin link;
  link.SetSubscriber(1, window.Handle());
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]);
  if (window.Handle() == nullptr || ready == nullptr || link.Load("QelVorlaLink.dll") != 1 || link.SubscribeMsg() != 1)
    return 3;
  SetEvent(ready);
  CloseHandle(ready);
  MSG notice{};
  const bool arrived = window.WaitForNotice(15000, &notice);
  link.UnsubscribeMsg();
  if (!arrived) return 2;
  FILE* result = std::fopen(argv[2], "w");
  if (result == nullptr) return 3;
  std::fprintf(result, "%llx %llx", static_cast<unsigned long long>(notice.wParam),
               static_cast<unsigned long long>(notice.lParam));
  std::fclose(result);
  return 0;
}
