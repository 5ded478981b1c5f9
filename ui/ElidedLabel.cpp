#include "ui/ElidedLabel.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace tidyfold::ui {

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QWidget(parent), text_(text)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString& text)
{
    if (text == text_)
        return;
    text_ = text;
    update();  // a repaint only; the size hint does not depend on the text
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
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text_, this);
        return true;
    }
    return QWidget::event(event);
}

void ElidedLabel::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    const QString shown = fontMetrics().elidedText(text_, Qt::ElideMiddle, width());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

}  // namespace tidyfold::ui
