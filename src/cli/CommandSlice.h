#pragma once

#include <QStringList>
#include <QTextStream>

namespace tessera {

// `tessera slice`: a large picture cut into cell slices named by their cell, with the reference
// picture and, when asked, the map path file. Returns the exit status (0 done, 1 a file could not
// be read or written, 2 bad usage).
int runSlice(const QStringList& arguments, QTextStream& out, QTextStream& err);
QString sliceUsage();

}  // namespace tessera
