#pragma once

// What AssemblyInput holds, for the reading and the matching.
#include "assembly/AssemblyGridGuess.h"
#include "assembly/AutoAssembly.h"
#include "assembly/SliceFeatures.h"

#include <QByteArray>

namespace tessera {

struct AssemblyInput::Data {
    Failure failure;
    QSize referenceSize;
    QByteArray reference;  // the file's bytes, decoded reduced for each grid
    QStringList paths;
    std::vector<QSize> sizes;
    std::vector<Feature> features;
    std::vector<Feature> colours;  // the slices' plain colours, to tell alike slices
    SliceShapes shapes;
    AssemblyGrid proposed;
};

// A failure of 自动拼图.
inline Failure assemblyFailure(FailureKind kind, const QString& file = {}, const QString& detail = {}, QList<qint64> figures = {})
{
    return Failure(kind, file.isEmpty() ? QStringList() : QStringList{file}, detail, std::move(figures))
        .of(FailedWork::AutoAssembly);
}

}  // namespace tessera
