#pragma once

#include <QToolButton>

#include <functional>

namespace tessera {

// A push-like tool radio of the tool bar. Its tool is armed whenever it becomes checked, by any
// input (`toggled`); a click on the radio already checked arms the tool once more (`rearmed`).
class ToolRadio : public QToolButton {
public:
    explicit ToolRadio(QWidget* parent = nullptr) : QToolButton(parent)
    {
        // An exclusive radio stays checked when clicked again: no toggle, only the click.
        connect(this, &QAbstractButton::pressed, this, [this] { checkedAtPress_ = isChecked(); });
        connect(this, &QAbstractButton::clicked, this, [this] {
            if (checkedAtPress_ && rearmed_)
                rearmed_();
        });
    }

    void setRearmed(std::function<void()> rearmed) { rearmed_ = std::move(rearmed); }

private:
    std::function<void()> rearmed_;
    bool checkedAtPress_ = false;
};

}  // namespace tessera
