#include "ui/ElidedLabel.h"

#include <QAccessibleWidget>
#include <QHelpEvent>
#include <QPainter>
#include <QTimerEvent>
#include <QToolTip>

#include "ui/Text.h"

namespace tidyfold::ui {

namespace {

constexpr int kNameChangeMs = 100;

// What a screen reader sees of the label: its role and its whole text.
class ElidedLabelAccessible final : public QAccessibleWidget {
public:
    explicit ElidedLabelAccessible(ElidedLabel* label) : QAccessibleWidget(label) {}

    QAccessible::Role role() const override { return static_cast<const ElidedLabel*>(widget())->accessibleRole(); }

    QString text(QAccessible::Text t) const override
    {
        const auto* label = static_cast<const ElidedLabel*>(widget());
        if ((t == QAccessible::Name || t == QAccessible::Value) && label->accessibleName().isEmpty())
            return label->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* ElidedLabelFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String(ElidedLabel::staticMetaObject.className()) && object->isWidgetType())
        return new ElidedLabelAccessible(static_cast<ElidedLabel*>(object));
    return nullptr;
}

}  // namespace

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QWidget(parent), text_(text)
{
    static const bool factoryInstalled = (QAccessible::installFactory(ElidedLabelFactory), true);
    (void)factoryInstalled;
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QString ElidedLabel::text() const
{
    if (decodePending_) {
        text_ = prefix_ + PathText(path_);
        decodePending_ = false;
    }
    return text_;
}

void ElidedLabel::setText(const QString& text)
{
    text_ = text;
    decodePending_ = false;
    TextChanged();
}

void ElidedLabel::setPath(const QString& prefix, std::string path)
{
    prefix_ = prefix;
    path_ = std::move(path);
    decodePending_ = true;
    TextChanged();
}

void ElidedLabel::TextChanged()
{
    // A repaint only (the size hint does not depend on the text), asked for
    // once until it has been made: marking the label dirty again for every
    // file of a pass costs more than the paint.
    if (!repaintAsked_) {
        repaintAsked_ = true;
        update();
    }
    // A screen reader asks for the name when told it changed; telling it of
    // every scanned file would flood it and slow the pass. One notice at the
    // end of each tenth of a second carries the latest text.
    if (!nameChange_.isActive())
        nameChange_.start(kNameChangeMs, this);
}

void ElidedLabel::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != nameChange_.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    nameChange_.stop();
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
    emit accessibleNameChanged();
}

QSize ElidedLabel::sizeHint() const
{
    return {fontMetrics().averageCharWidth() * 20, fontMetrics().height() + 4};
}

QSize ElidedLabel::minimumSizeHint() const
{
    return {0, fontMetrics().height() + 4};
}

bool ElidedLabel::event(QEvent* event)
{
    // The whole text as a tool tip, looked up only when asked for.
    if (event->type() == QEvent::ToolTip) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
        return true;
    }
    return QWidget::event(event);
}

void ElidedLabel::paintEvent(QPaintEvent* /*event*/)
{
    repaintAsked_ = false;
    QPainter painter(this);
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, width());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

}  // namespace tidyfold::ui
