#include "plugins/proxy_plugin.h"

#include "base/com_ref.h"
#include "base/locks.h"

void CProxyPlugin::SetLogFile(FILE** ppStream, LONG level, CRITICAL_SECTION* pLock) {
  CAutoLock hold(&m_csPlugin);
  if (auto setLogFile = FindExport<ProxySetLogFileFn>(kProxySetLogFileExport)) setLogFile(ppStream, level, pLock);
}

LONG CProxyPlugin::CreateProxy(IQelVideoProxy** ppProxy) {
  CAutoLock hold(&m_csPlugin);
  auto factory = FindExport<ProxyFactoryFn>(kProxyFactoryExport);
  if (factory == nullptr) return 0;
  // A factory that reports failure yet hands out an object still gave us a reference to give back.
  CComRef<IUnknown> object;
  const LONG result = factory(object.Put());
  if (!object) return 0;
  if (result != 0) object->QueryInterface(IID_IQelVideoProxy, reinterpret_cast<void**>(ppProxy));
  return result;
}
