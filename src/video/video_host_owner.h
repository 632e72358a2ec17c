// What the video host needs of the control that owns it. Declared here so the dependency runs one way,
// from the control down to the video host, and so the video host can be exercised with a plain owner.
#pragma once

#include <functional>

#include "base/platform.h"

class CQelVorlaProxyHost;

class IVideoHostOwner {
 public:
  // The control type; its low 16 bits go out with alarms, the whole value with the stop notice.
  virtual LONG OwnerUCID() = 0;
  // The ACID the host gave the control; reports carry its low 16 bits.
  virtual LONG OwnerACID() = 0;
  // Restarts the heartbeat timer; -1 only stops it. 1 on success.
  virtual int StartTimer(LONG seconds) = 0;
  // Posts the stop notice to the players of other processes: 1 posted, 0 refused, -1 no media link.
  virtual LONG PostStopNotice() = 0;
  // Visits the video host of every live control of the process (null for a control without one), with
  // the registry held across the whole walk.
  virtual void ForEachLivePlayer(const std::function<void(CQelVorlaProxyHost*)>& visit) = 0;

 protected:
  ~IVideoHostOwner() = default;
};
