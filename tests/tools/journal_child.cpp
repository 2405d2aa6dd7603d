// An editor's journal in another process: journals a 2 × 2 map with one tile in the given folder,
// prints the journal's path and waits to be killed.
#include "journal/MapJournal.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    tessera::MapJournal journal(QString::fromLocal8Bit(argv[1]));
    journal.startMap(2, QStringLiteral("/maps/child.tlp"));
    journal.setCells({{3, QStringLiteral("/maps/child.jpg")}});
    if (!journal.flush().ok())
        return 1;
    std::printf("%s\n", qPrintable(journal.path()));
    std::fflush(stdout);
    std::getchar();
    return 0;
}
