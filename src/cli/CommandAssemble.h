#pragma once

#include <QStringList>
#include <QTextStream>

namespace tessera {

// `tessera assemble`: the map path file of a map assembled from a reference picture and a folder of
// slices. Returns the exit status (0 done, 1 a file or the assembly failed, 2 bad usage).
int runAssemble(const QStringList& arguments, QTextStream& out, QTextStream& err);
QString assembleUsage();

}  // namespace tessera
