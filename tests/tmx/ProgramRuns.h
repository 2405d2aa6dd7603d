#pragma once

// What the command-line tests share: running a program to its end, and comparing pictures.
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QStringList>

#include <cstdlib>

namespace tessera::testing_support {

// Runs a program to its end (3 minutes at most) without a display, or with Qt's offscreen one;
// its exit status (-1 when it did not exit), its error output in `err`.
inline int runProgram(const QString& program, const QStringList& arguments, QString& err, bool display = false)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    if (display)
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(180000))
        return -1;
    err = QString::fromUtf8(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// A picture's pixels over grey, so that transparent cells compare as equal.
inline QImage overGrey(const QImage& picture)
{
    QImage flat(picture.size(), QImage::Format_RGB32);
    flat.fill(QColor(128, 128, 128));
    QPainter painter(&flat);
    painter.drawImage(0, 0, picture);
    return flat;
}

// The mean difference of the two pictures' levels over `cell`, per channel.
inline double meanDifference(const QImage& a, const QImage& b, QRect cell)
{
    double sum = 0;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * cell.width() * cell.height());
}

}  // namespace tessera::testing_support
