// The names the file code makes: paths in a folder and the partial files of a write.
#include "files/Files.h"

#include <QDir>
#include <QRegularExpression>
#include <QUuid>

namespace tessera {

QString joinFolder(const QString& folder, const QString& name)
{
    const QString separator = QDir::separator();
    return folder.endsWith(separator) ? folder + name : folder + separator + name;
}

QString partialFileName(const QString& targetName)
{
    return QStringLiteral(".%1.%2.part").arg(targetName, QUuid::createUuid().toString(QUuid::Id128).left(12));
}

QString partialTargetName(const QString& fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^\\.(.+)\\.[0-9a-f]{12}\\.part$"));
    const QRegularExpressionMatch match = pattern.match(fileName);
    return match.hasMatch() ? match.captured(1) : QString();
}

}  // namespace tessera
