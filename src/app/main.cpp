#include "cli/CommandLine.h"
#include "document/DocumentJournal.h"
#include "app/MainWindow.h"
#include "document/MapDocument.h"
#include "app/Startup.h"
#include "gui/QtPlatform.h"
#include "imaging/ImageCodec.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // The command line and the editor read pictures up to the same size.
    tessera::admitLargePictures();
    // `tessera render …`, `--help`, `--version` and bad usage run without a display; no arguments, or
    // only Qt's own options, start the editor.
    if (const std::optional<int> status = tessera::runCommandLine(argc, argv))
        return *status;
    QApplication app(argc, argv);
    tessera::setUpApplication(app);
    tessera::QtPlatform platform;
    // The document outlives every window that refers to it.
    tessera::MapDocument document(platform);
    tessera::MainWindow window(platform, document);
    platform.setDialogParent(&window);
    window.show();
    // This editor's own journal (said at once when it cannot be written), then a map left unsaved
    // by an editor that did not end cleanly.
    document.keepJournal();
    tessera::offerRecovery(document, platform.dialogs(), QString());
    return QApplication::exec();
}
