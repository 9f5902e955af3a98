// A clean stop on SIGINT, SIGTERM, SIGHUP and SIGPIPE. The handler only
// notes the signal; the loops that save pictures ask between two pictures
// and stop there, so the picture in hand is finished or discarded whole and
// every temporary file is removed by the code that made it. Waits (for a
// picture another process has locked) end early too. A second request
// ends the program at once, as the signal's default would: pictures stay
// whole, temporary files may be left for a later run to remove.
#pragma once

// Installs the handlers; for programs that save files in long loops.
void InstallInterruptHandlers();

// The signal that asked for the stop, or 0 while none did.
int InterruptSignal();

// The exit status of a program stopped by `signal` (128 + its number, as a shell reports it).
int InterruptExitStatus(int signal);

// The signal's name ("SIGINT"), for the message that reports the stop.
const char* InterruptSignalName(int signal);
