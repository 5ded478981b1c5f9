#pragma once

#include <QString>
#include <QWidget>

namespace tidyfold::ui {

// A one-line label for paths. Unlike QLabel, a new text never asks the
// window for a new layout: the width is the layout's to give, and a path too
// long for it is shortened in the middle ("/home/…/file"). The main window
// changes its status line for every scanned file, so this matters.
class ElidedLabel : public QWidget {
    Q_OBJECT
public:
    explicit ElidedLabel(const QString& text = {}, QWidget* parent = nullptr);

    QString text() const { return text_; }
    void setText(const QString& text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
};

}  // namespace tidyfold::ui
