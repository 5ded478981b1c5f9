#pragma once

#include <QAccessible>
#include <QBasicTimer>
#include <QString>
#include <QWidget>
#include <string>

namespace tidyfold::ui {

// A one-line label for paths. Unlike QLabel, a new text never asks the
// window for a new layout: the width is the layout's to give, and a path too
// long for it is shortened in the middle ("/home/…/file"). The main window
// changes its status line for every scanned file, so this matters.
//
// Screen readers read the whole text as the label's accessible name. They
// are told of a change at most ten times a second, always of the latest
// text.
class ElidedLabel : public QWidget {
    Q_OBJECT
public:
    explicit ElidedLabel(const QString& text = {}, QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    // prefix followed by a path of bytes. The path is decoded only when the
    // text is painted or asked for, so a label that changes for every file
    // of a pass costs next to nothing between two repaints.
    void setPath(const QString& prefix, std::string path);

    // What the label is to a screen reader: static text unless told
    // otherwise (the main window's status line is a status bar).
    QAccessible::Role accessibleRole() const { return role_; }
    void setAccessibleRole(QAccessible::Role role) { role_ = role; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // Screen readers have just been told that the name changed.
    void accessibleNameChanged();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void TextChanged();

    mutable QString text_;
    QString prefix_;
    std::string path_;
    mutable bool decodePending_ = false;
    bool repaintAsked_ = false;
    QAccessible::Role role_ = QAccessible::StaticText;
    QBasicTimer nameChange_;
};

}  // namespace tidyfold::ui
