#include "ui/SchedulePage.h"

#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/Named.h"

namespace tidyfold::ui {

SchedulePage::SchedulePage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("picOptions_2"));
    setAccessibleName(tr("Schedule"));
    lblSchedule = Named(new QLabel(tr("Clean my Desktop automatically:")), "lblSchedule");
    QFont bold = lblSchedule->font();
    bold.setBold(true);
    lblSchedule->setFont(bold);
    const QString captions[] = {tr("Never"), tr("At login"), tr("Every day"), tr("Every week")};
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSchedule);
    for (int i = 0; i < 4; ++i) {
        optSchedule[i] = Named(new QRadioButton(captions[i]), ("optSchedule_" + std::to_string(i)).c_str());
        layout->addWidget(optSchedule[i]);
    }
    lblScheduleNote = Named(new QLabel(tr("An automatic clean uses the saved options, with no window. "
                                          "A notification tells what it did when it moved files or "
                                          "some could not be moved.")),
                            "lblScheduleNote");
    lblScheduleNote->setWordWrap(true);
    layout->addSpacing(8);
    layout->addWidget(lblScheduleNote);
    layout->addStretch();
    // Without a schedule to install (the program gave the windows none),
    // there is nothing to choose.
    for (QRadioButton* option : optSchedule)
        option->setEnabled(TheSchedule() != nullptr);
}

void SchedulePage::SetChoice(ScheduleChoice choice)
{
    optSchedule[static_cast<int>(choice)]->setChecked(true);
}

ScheduleChoice SchedulePage::Choice() const
{
    for (int i = 0; i < 4; ++i)
        if (optSchedule[i]->isChecked())
            return static_cast<ScheduleChoice>(i);
    return ScheduleChoice::Never;
}

}  // namespace tidyfold::ui
