#pragma once

#include <QImage>
#include <QString>

#include <optional>
#include <utility>

namespace tessera {

enum class BatchKind { Rename, Move };

// Where a batch operation reports: the result window, or a record that background work keeps and
// the GUI thread replays into the result window when the work is done.
class BatchReport {
public:
    virtual ~BatchReport() = default;
    virtual void showResultWindow() = 0;
    virtual void appendResult(const QString& text) = 0;
    // The closing message; says how many steps failed.
    virtual void announceDone(BatchKind kind, int failures = 0) = 0;
    // A placeholder picture has just been drawn for an empty cell.
    virtual void showPlaceholder(const QImage&) {}
};

class RecordedReport final : public BatchReport {
public:
    void showResultWindow() override { shown_ = true; }
    void appendResult(const QString& text) override { lines_ += text; }
    void announceDone(BatchKind kind, int failures) override { done_ = {kind, failures}; }
    void showPlaceholder(const QImage& picture) override { placeholder_ = picture; }

    // The last placeholder drawn; null when none was.
    const QImage& placeholder() const { return placeholder_; }

    // Shows what was recorded, in order, in `report`.
    void replayInto(BatchReport& report) const
    {
        if (shown_)
            report.showResultWindow();
        if (!lines_.isEmpty())
            report.appendResult(lines_);
        if (done_)
            report.announceDone(done_->first, done_->second);
    }

private:
    bool shown_ = false;
    QString lines_;
    std::optional<std::pair<BatchKind, int>> done_;
    QImage placeholder_;
};

}  // namespace tessera
