#pragma once

#include <memory>

namespace lintaro {

class Interaction;
class SettingsStore;
class TForm1;

// Creates the seven windows in their order; the main window owns the others.
std::unique_ptr<TForm1> createWindows(Interaction &interaction, SettingsStore &settings);

// Start-up: the application titled "Lintaro", the windows created in their
// order, the event loop; an error that escapes start-up is shown, then the
// program ends.
int runApplication(int argc, char *argv[]);

} // namespace lintaro
