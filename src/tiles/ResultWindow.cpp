#include "tiles/ResultWindow.h"

#include "gui/Platform.h"

#include <QPlainTextEdit>
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
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setGeometry(15, 12, 592, 360);
    resize(634, 416);
}

void ResultWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    text_->setGeometry(rect());
}

void ResultReport::showResultWindow()
{
    if (!window_)
        window_ = new ResultWindow;
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void ResultReport::appendResult(const QString& text)
{
    if (!window_)
        return;
    QPlainTextEdit* edit = window_->text();
    QTextCursor cursor(edit->document());
    cursor.movePosition(QTextCursor::End);
    // Lines end in CR LF in the report's text; the editor shows each as one line.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    cursor.insertText(shown);
    edit->verticalScrollBar()->setValue(edit->verticalScrollBar()->maximum());
}

void ResultReport::announceDone(int code)
{
    platform_.messageBox(code == 1 ? QStringLiteral("更名成功！") : QStringLiteral("移动成功！"),
                         MessageButtons::OkInfo);
}

QString ResultReport::text() const
{
    return window_ ? window_->text()->toPlainText() : QString();
}

}  // namespace tessera
