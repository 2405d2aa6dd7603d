#pragma once

#include <QStringList>
#include <QTextStream>

#include <optional>

namespace tessera {

// The command line of the editor's executable. Without arguments, or with only Qt's own options,
// the editor starts; otherwise the command runs without any display and the program ends with its
// status: 0 done, 1 a file could not be read or written, 2 bad usage (an unknown option, or a
// command after an option). `--version` and `--help` print and end.
std::optional<int> runCommandLine(int argc, char* argv[]);

// Runs the command given by `arguments` (those after the program's name), writing what it has to
// say to `out` and its errors to `err`. Needs a QCoreApplication, not a display.
int runCommand(const QStringList& arguments, QTextStream& out, QTextStream& err);

}  // namespace tessera
