// A media-link double: answers with whatever byte a test sets and remembers the arguments it was given.
// It has no VO_UnsubscribeMsg, so the binding's missing-entry-point path can be driven too.
#include "plugins/outside_interfaces.h"

#ifdef _WIN32
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {
BYTE g_answer = 1;
LONG g_lastArgs[3] = {};
HWND g_lastWindow = nullptr;

BYTE Answer(LONG subscription, HWND hWnd, LONG value) {
  g_lastArgs[0] = subscription;
  g_lastArgs[1] = value;
  g_lastArgs[2] += 1;
  g_lastWindow = hWnd;
  return g_answer;
}
}  // namespace

FAKE_EXPORT BYTE QEL_CDECL VO_SubscribeMsg(LONG subscription, HWND hWnd) { return Answer(subscription, hWnd, 0); }

FAKE_EXPORT BYTE QEL_CDECL VO_PostMsg(LONG subscription, HWND hWnd, LONG value) {
  return Answer(subscription, hWnd, value);
}

FAKE_EXPORT void QEL_CDECL FakeLinkSetAnswer(BYTE answer) { g_answer = answer; }

// Subscription, posted value and number of calls so far; the window separately.
FAKE_EXPORT void QEL_CDECL FakeLinkLastCall(LONG* args, HWND* window) {
  for (int i = 0; i < 3; ++i) args[i] = g_lastArgs[i];
  *window = g_lastWindow;
}
