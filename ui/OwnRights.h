#pragma once
// The program runs with its user's rights only. A Qt program loads code that
// its environment names (plugins, styles, input methods), so a right of its
// own would go to any such code; the capture helper alone holds one.

namespace corvina {

// Runs first, before anything of Qt. False when the program must not start:
// it holds rights of its own (a file capability, a set-ID executable). They
// are given up before Qt loads anything; then standard error and a message
// box say how to install instead. Root may run the program.
bool CheckOwnRights(int& argc, char** argv);

// The meter started by root: one warning on standard error that capture
// needs no such rights. Reports from the command line stay silent.
void WarnWhenRoot();

}  // namespace corvina
