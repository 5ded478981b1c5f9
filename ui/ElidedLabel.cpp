#include "ui/ElidedLabel.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include "ui/Text.h"

namespace tidyfold::ui {

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QWidget(parent), text_(text)
{
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
    update();  // a repaint only; the size hint does not depend on the text
}

void ElidedLabel::setPath(const QString& prefix, std::string path)
{
    prefix_ = prefix;
    path_ = std::move(path);
    decodePending_ = true;
    update();
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
    QPainter painter(this);
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, width());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

}  // namespace tidyfold::ui
