// The places where the relay allocates on behalf of a slot, an export or the event loop. The shipped relay
// passes them by; its test build (relay_fault_planted.cpp) can make one throw std::bad_alloc, to show that
// whatever is thrown there is caught at the relay's boundary and the host's process lives on.
#pragma once

enum class RelayFault {
  Factory,     // ProxyFactory makes its object
  NewProxy,    // the factory's QueryInterface makes a proxy
  Create,      // Create starts the relay (and with the first, the I/O thread)
  Accept,      // the event loop takes a new player
  Route,       // the route to a source is opened
  Carry,       // bytes are carried
  SetLogFile,  // ProxySetLogFile
  Count
};

// Throws std::bad_alloc when the test build has planted a fault at `site`; does nothing otherwise.
void RelayFaultPoint(RelayFault site);
