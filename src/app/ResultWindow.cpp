#include "app/ResultWindow.h"

#include <QMouseEvent>
#include <QTextBlock>

#include "files/Dialogs.h"
#include "model/TileGrid.h"
#include "gui/WindowPlacement.h"

#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>

namespace tessera {

ResultWindow::ResultWindow(QWidget* parent) : QWidget(parent, Qt::Window), text_(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("ResultWindow"));
    setWindowTitle(QStringLiteral("结果"));
    setAccessibleName(windowTitle());
    setAttribute(Qt::WA_DeleteOnClose);
    text_->setObjectName(QStringLiteral("ResultText"));
    text_->setAccessibleName(QStringLiteral("结果"));
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setUndoRedoEnabled(false);  // the report is appended, never taken back
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setGeometry(15, 12, 592, 360);
    text_->viewport()->installEventFilter(this);
    resize(634, 416);
    centreOnScreen(this);
}

void ResultWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    text_->setGeometry(rect());
}

ResultReport::~ResultReport()
{
    delete window_.data();
}

std::optional<Cell> cellNamedIn(const QString& line, const TileGrid& grid)
{
    static const QRegularExpression named(QStringLiteral("第\\s*(\\d+)\\s*行\\s*第\\s*(\\d+)\\s*列"));
    const int n = grid.mapSize();
    if (const QRegularExpressionMatch m = named.match(line); m.hasMatch()) {
        const int row = m.captured(1).toInt(), column = m.captured(2).toInt();
        if (row >= 1 && column >= 1 && row <= n && column <= n)
            return Cell{row, column};
        return std::nullopt;
    }
    static const QRegularExpression file(QStringLiteral("【([^】]+)】"));
    QStringList files;
    for (QRegularExpressionMatchIterator it = file.globalMatch(line); it.hasNext();)
        files.prepend(it.next().captured(1));
    const CellTexts& cells = grid.cells();
    for (const QString& name : files)
        for (std::size_t i = 0; i < cells.size(); ++i)
            if (cells[i] == name)
                return Cell{static_cast<int>(i) / n + 1, static_cast<int>(i) % n + 1};
    return std::nullopt;
}

bool ResultWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == text_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const auto* click = static_cast<QMouseEvent*>(event);
        emit lineChosen(text_->cursorForPosition(click->position().toPoint()).block().text());
    }
    return QWidget::eventFilter(watched, event);
}

void ResultReport::showResultWindow()
{
    if (!window_) {
        window_ = new ResultWindow;
        pending_.clear();
        if (chosen_)
            QObject::connect(window_, &ResultWindow::lineChosen, window_, chosen_);
    }
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void ResultReport::appendResult(const QString& text)
{
    pending_ += text;
    if (!sinceFlush_.isValid() || sinceFlush_.elapsed() > 150)
        flush();
}

void ResultReport::flush()
{
    sinceFlush_.start();
    if (!window_ || pending_.isEmpty())
        return;
    QPlainTextEdit* edit = window_->text();
    QTextCursor cursor(edit->document());
    cursor.movePosition(QTextCursor::End);
    // Lines end in CR LF in the report; the editor shows each as one line.
    cursor.insertText(pending_.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    pending_.clear();
    edit->verticalScrollBar()->setValue(edit->verticalScrollBar()->maximum());
}

void ResultReport::announceDone(BatchKind kind, int failures)
{
    flush();
    const bool rename = kind == BatchKind::Rename;
    if (failures == 0) {
        dialogs_.messageBox(rename ? QStringLiteral("更名成功！") : QStringLiteral("移动成功！"), MessageButtons::OkInfo);
        return;
    }
    dialogs_.messageBox(QStringLiteral("%1完成，但有%2项没有成功，详见结果窗口。")
                             .arg(rename ? QStringLiteral("更名") : QStringLiteral("移动"))
                             .arg(failures),
                         MessageButtons::OkExclamation);
}

QString ResultReport::text()
{
    flush();
    return window_ ? window_->text()->toPlainText() : QString();
}

}  // namespace tessera
