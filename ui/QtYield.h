#pragma once

namespace tidyfold::ui {

// Makes the engine's yields process pending Qt events, so clicks (Stop above
// all) and repaints happen during a pass.
void InstallQtYieldHook();

}  // namespace tidyfold::ui
