// The program's standard output and error when it runs as a command rather than as windows.
#pragma once

// A Windows program with windows starts without a console: it takes the console of the command line that started
// it, unless its output was redirected. Elsewhere the output is already there.
void attachParentConsole();
