#pragma once

#include "batch/BatchReport.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

class QPlainTextEdit;

namespace tessera {

class Dialogs;

// "结果": the report of the batch operations, one text filling the window.
class ResultWindow : public QWidget {
    Q_OBJECT

public:
    explicit ResultWindow(QWidget* parent = nullptr);
    QPlainTextEdit* text() const { return text_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QPlainTextEdit* text_;
};

// Owns the result window across runs: lines accumulate while it stays open; once closed, the next
// run opens it anew and empty.
class ResultReport final : public BatchReport {
public:
    explicit ResultReport(Dialogs& dialogs) : dialogs_(dialogs) {}
    // The window goes with the report that opened it.
    ~ResultReport() override;

    void showResultWindow() override;
    // Lines are collected and shown a few times a second, so that long runs stay fast.
    void appendResult(const QString& text) override;
    void flush();
    // "更名成功！" after a rename, "移动成功！" after a move; when steps failed, says how many.
    void announceDone(BatchKind kind, int failures = 0) override;

    ResultWindow* window() const { return window_; }
    QString text();

private:
    Dialogs& dialogs_;
    QPointer<ResultWindow> window_;
    QString pending_;
    QElapsedTimer sinceFlush_;
};

}  // namespace tessera
