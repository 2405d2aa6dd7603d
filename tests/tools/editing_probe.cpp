// The editor's main window with a 25 × 25 map, red at (3, 3) and blue at (15, 11), driven from
// outside with real X events (xdotool). It answers line commands on stdin and reports every mouse
// button event it has handled, so that a script can wait for one before it looks at the map:
//   at cell R C | at notes | at hscroll | at right  -> "at X Y" in screen coordinates
//   arm place|move|swap|delete   choose NAME   yes (answer the next question with Yes)   undo
//   answer TEXT (the next input or file dialog)
//   dump -> "cell R C NAME" for every tile, "carrying 0|1", "follow shown|hidden", "end"
//   boxes -> "box TEXT" for every message box shown since the last "boxes", "end"
//   status -> "status TEXT", the status bar's message   winid -> "winid ID", the X window
//   scroll -> "scroll H V", the values of the two scroll bars
//   journal DIR (journal every change there)   recover DIR -> "recovered 1|0", Yes to the offer
//   quit
// The other commands answer "ok". It prints "ready" once the window is shown and
// "handled press|release|wheel|key" after each button, wheel or key event.
#include "document/DocumentJournal.h"
#include "app/MainWindow.h"
#include "document/MapDocument.h"
#include "canvas/EditingTools.h"
#include "canvas/TileChooser.h"
#include "support/ScriptedPlatform.h"
#include "support/TestImages.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <cstdio>

#include <unistd.h>

using namespace tessera;

namespace {

void say(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

// Says "ready" once the window is on the screen, and reports each button event of the window
// after it has been handled.
class WindowReporter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && !ready_ && static_cast<QWindow*>(watched)->isExposed()) {
            ready_ = true;
            QTimer::singleShot(0, this, [] { say("ready"); });
        }
        if (event->type() == QEvent::Wheel)
            QTimer::singleShot(0, this, [] { say("handled wheel"); });
        const auto* key = event->type() == QEvent::KeyRelease ? static_cast<QKeyEvent*>(event) : nullptr;
        if (key && !key->isAutoRepeat() && key->key() != Qt::Key_Control && key->key() != Qt::Key_Shift)
            QTimer::singleShot(0, this, [] { say("handled key"); });
        const bool press = event->type() == QEvent::MouseButtonPress;
        if (press || event->type() == QEvent::MouseButtonRelease)
            QTimer::singleShot(0, this, [press] { say(press ? "handled press" : "handled release"); });
        return false;
    }

private:
    bool ready_ = false;
};

class Probe {
public:
    Probe() : window(platform, mapDocument)
    {
        for (auto [name, color] : {std::pair{"red.jpg", testcolors::kRed}, {"green.jpg", testcolors::kGreen},
                                   {"blue.jpg", testcolors::kBlue}})
            writeSolidImage(dir.filePath(QString::fromLatin1(name)), color);
        platform.answerYes();
        platform.answerInput(QStringLiteral("25"));
        window.newMap();
        window.tools().placeFiles({dir.filePath(QStringLiteral("red.jpg"))}, cellRect(3, 3).center());
        window.tools().placeFiles({dir.filePath(QStringLiteral("blue.jpg"))}, cellRect(15, 11).center());
    }

    void run(const QStringList& words)
    {
        const QString verb = words.value(0);
        if (verb == QStringLiteral("at"))
            at(words.mid(1));
        else if (verb == QStringLiteral("arm"))
            find<QAbstractButton>(words.value(1) == QStringLiteral("place") ? "PlaceToolRadio"
                                  : words.value(1) == QStringLiteral("move") ? "MoveToolRadio"
                                  : words.value(1) == QStringLiteral("swap") ? "SwapToolRadio"
                                                                              : "DeleteToolRadio")
                ->click();
        else if (verb == QStringLiteral("undo"))
            find<QAbstractButton>("UndoButton")->click();
        else if (verb == QStringLiteral("choose")) {
            window.chooser().setCurrentFolder(dir.path());
            window.chooser().chooseFile(words.value(1));
        } else if (verb == QStringLiteral("yes"))
            platform.answerYes();
        else if (verb == QStringLiteral("answer"))
            platform.answerSave(words.mid(1).join(u' '));
        else if (verb == QStringLiteral("boxes")) {
            window.waitForWork();
            for (const ScriptedPlatform::Shown& shown : platform.shown())
                if (shown.kind == ScriptedPlatform::DialogKind::Message)
                    say(QStringLiteral("box ") + QString(shown.text).replace(u'\n', u' '));
            platform.clearShown();
            say(QStringLiteral("end"));
            return;
        } else if (verb == QStringLiteral("winid")) {
            say(QStringLiteral("winid %1").arg(window.winId()));
            return;
        } else if (verb == QStringLiteral("status")) {
            window.waitForWork();
            say(QStringLiteral("status ") + find<QLabel>("StatusPanel1")->text());
            return;
        }
        else if (verb == QStringLiteral("dump"))
            dump();
        else if (verb == QStringLiteral("scroll"))
            say(QStringLiteral("scroll %1 %2")
                    .arg(find<QAbstractSlider>("CanvasHScroll")->value())
                    .arg(find<QAbstractSlider>("CanvasVScroll")->value()));
        else if (verb == QStringLiteral("journal"))
            window.document().keepJournal(words.value(1));
        else if (verb == QStringLiteral("recover")) {
            platform.answerYes();
            say(QStringLiteral("recovered %1").arg(offerRecovery(window.document(), platform, words.value(1))));
            return;
        } else if (verb == QStringLiteral("quit"))
            QApplication::exit(0);
        if (verb != QStringLiteral("at") && verb != QStringLiteral("dump") && verb != QStringLiteral("scroll"))
            say(QStringLiteral("ok"));
    }

    ScriptedPlatform platform;
    MapDocument mapDocument{platform};
    MainWindow window;

private:
    template <typename W>
    W* find(const char* role) { return window.findChild<W*>(QString::fromLatin1(role)); }

    void at(const QStringList& what)
    {
        QPoint p;
        if (what.value(0) == QStringLiteral("cell")) {
            p = find<QWidget>("EditCanvas")->mapToGlobal(cellRect(what.value(1).toInt(), what.value(2).toInt()).center());
        } else if (what.value(0) == QStringLiteral("notes")) {
            QWidget* notes = find<QWidget>("UsageNotesText");
            p = notes->mapToGlobal(notes->rect().center());
        } else if (what.value(0) == QStringLiteral("refresh")) {
            QWidget* button = find<QWidget>("RefreshButton");
            p = button->mapToGlobal(button->rect().center());
        } else if (what.value(0) == QStringLiteral("hscroll")) {
            QWidget* bar = find<QWidget>("CanvasHScroll");
            p = bar->mapToGlobal(bar->rect().center());
        } else {
            p = window.mapToGlobal(QPoint(window.width() + 30, window.height() / 3));
        }
        say(QStringLiteral("at %1 %2").arg(p.x()).arg(p.y()));
    }

    void dump()
    {
        const TileGrid& grid = window.document().grid();
        for (int r = 1; r <= grid.mapSize(); ++r)
            for (int c = 1; c <= grid.mapSize(); ++c)
                if (!grid.cellText(r, c).isEmpty())
                    say(QStringLiteral("cell %1 %2 %3").arg(r).arg(c).arg(QFileInfo(grid.cellText(r, c)).fileName()));
        say(QStringLiteral("carrying %1").arg(window.tools().moveState() == MoveState::Carrying ? 1 : 0));
        say(QStringLiteral("follow %1").arg(find<QWidget>("FollowImage")->isVisible() ? "shown" : "hidden"));
        say(QStringLiteral("end"));
    }

    QTemporaryDir dir;
};

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Probe probe;
    WindowReporter reporter;
    probe.window.winId();
    probe.window.windowHandle()->installEventFilter(&reporter);
    probe.window.show();

    QSocketNotifier input(0, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t count = ::read(0, buffer, sizeof buffer);
        if (count <= 0) {
            input.setEnabled(false);
            QApplication::exit(0);
            return;
        }
        pending.append(buffer, count);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1))
            probe.run(QString::fromUtf8(pending.left(end)).split(QLatin1Char(' '), Qt::SkipEmptyParts));
    });
    return QApplication::exec();
}
