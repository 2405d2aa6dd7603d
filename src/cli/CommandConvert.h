#pragma once

#include <QStringList>
#include <QTextStream>

namespace tessera {

// `tessera convert`: a map path file into a TMX or TMJ map, or such a map into a map path file.
// Returns the exit status (0 done, 1 a file could not be read or written, 2 bad usage).
int runConvert(const QStringList& arguments, QTextStream& out, QTextStream& err);
QString convertUsage();

}  // namespace tessera
