#include "ui/Schedule.h"

namespace tidyfold::ui {

namespace {
Schedule* gSchedule = nullptr;
}  // namespace

Schedule* TheSchedule() { return gSchedule; }

void SetSchedule(Schedule* schedule) { gSchedule = schedule; }

}  // namespace tidyfold::ui
