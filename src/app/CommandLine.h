#pragma once

// The program's own command-line options, answered before any window or display
// is needed. Every other argument is left to Qt (-platform, -style, ...).
namespace CommandLine {

// Prints the help or the version when asked for and returns the exit status;
// returns -1 when the program is to start.
int handleInfoOptions(int argc, char *argv[]);

} // namespace CommandLine
