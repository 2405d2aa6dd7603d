#include "app/ToolRadio.h"

#include <QAccessibleWidget>

namespace tessera {
namespace {

// A tool radio is announced as the radio button it is, not as a check box.
class ToolRadioAccessible : public QAccessibleWidget {
public:
    explicit ToolRadioAccessible(ToolRadio* radio) : QAccessibleWidget(radio, QAccessible::RadioButton) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = radio()->isChecked();
        return s;
    }

    QStringList actionNames() const override
    {
        return {QAccessibleActionInterface::pressAction(), QAccessibleActionInterface::toggleAction()};
    }

    void doAction(const QString& action) override
    {
        if (!radio()->isEnabled())
            return;
        // The action answers at once; what it starts (a notice with its own event loop) runs after.
        ToolRadio* button = radio();
        if (action == QAccessibleActionInterface::pressAction())
            QMetaObject::invokeMethod(button, &ToolRadio::click, Qt::QueuedConnection);
        else if (action == QAccessibleActionInterface::toggleAction())
            // The checked radio of the exclusive set stays checked.
            QMetaObject::invokeMethod(button, &ToolRadio::toggle, Qt::QueuedConnection);
    }

private:
    ToolRadio* radio() const { return static_cast<ToolRadio*>(widget()); }
};

QAccessibleInterface* toolRadioAccessible(const QString&, QObject* object)
{
    if (auto* radio = dynamic_cast<ToolRadio*>(object))
        return new ToolRadioAccessible(radio);
    return nullptr;
}

}  // namespace

ToolRadio::ToolRadio(QWidget* parent) : QToolButton(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(toolRadioAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    // An exclusive radio stays checked when clicked again: no toggle, only the click.
    connect(this, &QAbstractButton::pressed, this, [this] { checkedAtPress_ = isChecked(); });
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (checkedAtPress_ && rearmed_)
            rearmed_();
    });
}

}  // namespace tessera
