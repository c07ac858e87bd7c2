#pragma once

#include <memory>

class QCoreApplication;

namespace lintaro {

class Interaction;
class SettingsStore;
class TForm1;

// Creates the seven windows in their order; the main window owns the others.
std::unique_ptr<TForm1> createWindows(Interaction &interaction, SettingsStore &settings);

// What start-up sets on the application: its name "Lintaro" (the caption of
// the general error report) and Qt's own texts in Russian.
void prepareApplication(QCoreApplication &app);

// Loads Qt's Russian translation of its own texts (dialog buttons, the file
// dialogs' labels and messages) from translations/ beside the executable or
// Qt's translations folder. False when neither holds it: Qt then speaks English.
bool loadQtTranslation(QCoreApplication &app);

// Start-up: the application titled "Lintaro", the windows created in their
// order, the event loop; an error that escapes start-up is shown, then the
// program ends.
int runApplication(int argc, char *argv[]);

} // namespace lintaro
