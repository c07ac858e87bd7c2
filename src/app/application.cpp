#include "application.h"

#include "app/tform1.h"
#include "common/errorreport.h"
#include "common/qtinteraction.h"
#include "dialogs/tform5.h"
#include "dialogs/tform6.h"
#include "dialogs/tform7.h"
#include "lookup/tform2.h"
#include "lookup/tform3.h"
#include "lookup/tform4.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QTranslator>

#include <memory>

namespace lintaro {

std::unique_ptr<TForm1> createWindows(Interaction &interaction, SettingsStore &settings)
{
    // Each window is created once, in this order; the main window's creation
    // reads the recent files, the lookup dialogs' creation loads their files.
    auto form1 = std::make_unique<TForm1>(interaction, settings);
    TForm1::Windows windows;
    windows.form2 = new TForm2(interaction, form1.get());
    windows.form3 = new TForm3(interaction, settings, form1.get());
    windows.form4 = new TForm4(form1.get());
    windows.form5 = new TForm5(interaction, settings, form1.get());
    windows.form6 = new TForm6(interaction, form1.get());
    windows.form7 = new TForm7(form1.get());
    form1->attachWindows(windows);
    return form1;
}

int runApplication(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lintaro"));
    QApplication::setApplicationDisplayName(QStringLiteral("Lintaro"));
    // Qt's own texts (the buttons of message boxes and file dialogs) in
    // Russian, from the translations folder the Windows zip carries.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_ru"), QApplication::applicationDirPath() + QStringLiteral("/translations")))
        QApplication::installTranslator(&qtTexts);

    QtInteraction interaction;
    SettingsStore settings;
    const ErrorReport report(interaction);

    std::unique_ptr<TForm1> form1;
    // An error that escapes start-up is shown, and the program ends.
    const bool started = report.guard([&] {
        form1 = createWindows(interaction, settings);
        form1->show();
    });
    if (!started)
        return 1;
    const int status = app.exec();
    // Destroying the main window stores LastCSV and LastPSQ; an error there is shown.
    form1.reset();
    return status;
}

} // namespace lintaro
