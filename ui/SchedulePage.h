#pragma once

#include <QWidget>

#include "ui/Schedule.h"

class QLabel;
class QRadioButton;

namespace tidyfold::ui {

// The Options dialog's "Schedule" tab: when to clean the Desktop without the
// window. It shows a choice; the dialog installs it when it saves.
class SchedulePage : public QWidget {
    Q_OBJECT
public:
    explicit SchedulePage(QWidget* parent = nullptr);

    void SetChoice(ScheduleChoice choice);
    ScheduleChoice Choice() const;

private:
    QLabel* lblSchedule = nullptr;
    QRadioButton* optSchedule[4] = {};
    QLabel* lblScheduleNote = nullptr;
};

}  // namespace tidyfold::ui
