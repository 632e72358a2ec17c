// What qelhost does with the console it runs in: the line ends of its output, and Ctrl-C.
#pragma once

// Under Wine on Linux the trace ends its lines in LF, as the shell's tools expect (grep 'left 0$');
// on Windows in CR LF, as the platform's text does.
void UsePlatformLineEnds();

// From now on Ctrl-C and Ctrl-Break no longer end the process: they mark the session interrupted, and
// the session ends as its end would (every control deleted, the summaries) with kExitInterrupted
// (host_options.h). ./qelhost turns SIGTERM into a Ctrl-C: Wine gives a program no other way to see it.
void CatchInterrupts();
bool Interrupted();
