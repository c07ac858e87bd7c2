#include "application.h"

#include "app/tform1.h"
#include "common/errorreport.h"
#include "common/qtinteraction.h"
#include "settings/settingsstore.h"

#include <QApplication>

#include <memory>

namespace lintaro {

int runApplication(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lintaro"));
    QApplication::setApplicationDisplayName(QStringLiteral("Lintaro"));

    QtInteraction interaction;
    SettingsStore settings;
    const ErrorReport report(interaction);

    std::unique_ptr<TForm1> form1;
    const bool started = report.guard([&] {
        form1 = std::make_unique<TForm1>(interaction, settings);
        form1->show();
    });
    if (!started)
        return 1;
    return app.exec();
}

} // namespace lintaro
