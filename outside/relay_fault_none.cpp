// The shipped relay: no fault is ever planted.
#include "relay_fault_point.h"

void RelayFaultPoint(RelayFault) {}
