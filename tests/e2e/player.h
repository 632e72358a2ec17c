// A test's player: a control of the real library, the way the host terminal drives one.
#pragma once

#include "host_interfaces/term_interfaces.h"
#include "loaded_dll.h"
#include "support/fake_host.h"
#include "video/command_writer.h"

// One control with a host of its own, initialised and given its isolation flag.
struct Player {
  FakeHost host;
  IQELTermControl* control = nullptr;

  Player(LoadedDll& dll, LONG isolated) {
    IUnknown* unknown = dll.CreateControl();
    if (unknown == nullptr) return;
    unknown->QueryInterface(IID_IQELTermControl, reinterpret_cast<void**>(&control));
    unknown->Release();
    host.AddRef();
    control->InitControl(nullptr, host.Unknown());
    Send(Cmd::isolated(isolated));
  }
  ~Player() {
    if (control == nullptr) return;
    control->DeleteControl();
    control->Release();
  }
  void Send(const CommandBytes& bytes) { control->ProcessBuf(bytes.data(), static_cast<LONG>(bytes.size())); }
  void Play() { Send(Cmd::url(0, 1, "http://media.example.com/live")); }
  size_t Count(const Bytes& message) {
    size_t count = 0;
    for (const Bytes& sent : host.TalkbackMessages()) count += sent == message;
    return count;
  }
};
