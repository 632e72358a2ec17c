// One stream source of a source configuration. The proxy plug-in reads it at fixed offsets, so the field
// order and types stay as they are, including the fields only the plug-in gives meaning to.
#pragma once

#include "base/platform.h"
#include "config/boundary_string.h"

class CSrcConnection {
 public:
  CSrcConnection() = default;
  // Only the side that made a connection destroys it: the two sides' destructors share no calling scheme.
  virtual ~CSrcConnection() = default;
  CSrcConnection(const CSrcConnection&) = delete;
  CSrcConnection& operator=(const CSrcConnection&) = delete;

  CBoundaryString m_strURL;   // exactly as the host gave it
  CBoundaryString m_strHost;  // decoded host name
  LONG m_nPort = -1;
  LONG m_nType = 0;  // kConnectionType...
  LONG m_nPluginField1 = 0;
  LONG m_nPluginField2 = 0;
  LONG m_nPluginField3 = -1;
  bool m_bOtherScheme = true;  // false for rtmp, rtmps, rtmpe and https
  bool m_bNsc = false;         // the URL text contains ".nsc"
};
