// The registry of live controls: lets the log close when the last control goes and lets a starting
// player find the others of the process.
#pragma once

class CQelVorlaProxyCtrl;

void AddControl(CQelVorlaProxyCtrl* ctrl);
// Also closes the log when no control is left.
void RemoveControl(CQelVorlaProxyCtrl* ctrl);
