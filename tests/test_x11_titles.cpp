// What the window system shows as the windows' titles (_NET_WM_NAME), on a
// private X server: Qt's X11 platform may add to the title a window is given.
#include "app/application.h"
#include "app/tform1.h"
#include "common/errorreport.h"
#include "common/failure.h"
#include "common/qtinteraction.h"
#include "settings/settingsstore.h"
#include "support/modaldriver.h"
#include "support/qtprinters.h"
#include "support/xserver.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QTemporaryDir>
#include <QTest>

using namespace lintaro;
using test::XServer;

TEST(WindowTitles, EveryWindowAndBoxShowsExactlyItsCaption)
{
    if (!XServer::problem().isEmpty())
        GTEST_SKIP() << "no X server for this test: " << XServer::problem().toStdString();
    QTemporaryDir dir;
    qputenv("LINTARO_CONFIG_DIR", dir.path().toLocal8Bit());
    prepareApplication(*QCoreApplication::instance());
    QtInteraction qtInteraction;
    Interaction &interaction = qtInteraction;
    SettingsStore settings(dir.filePath(QStringLiteral("settings.ini")));
    std::unique_ptr<TForm1> form = createWindows(interaction, settings);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_EQ(XServer::shownTitle(form.get()), QStringLiteral("VELMAR(R) Lintaro V1.2"));

    const auto shownWhileModal = [](const std::function<void()> &show) {
        QString title;
        test::ModalDriver driver([&](QWidget *modal) {
            title = XServer::shownTitle(modal);
            modal->close();
        });
        show();
        return title;
    };
    EXPECT_EQ(shownWhileModal([&] {
        interaction.message(QStringLiteral("Ошибка конвертации"), QStringLiteral("x"), MessageIcon::Warning);
    }),
        QStringLiteral("Ошибка конвертации"));
    EXPECT_EQ(
        shownWhileModal([&] { ErrorReport(interaction).guard([] { throw Failure(QStringLiteral("x")); }); }),
        QStringLiteral("Lintaro"));
    EXPECT_EQ(shownWhileModal([&] { form->N3Click(); }), QStringLiteral("Директории для поиска"));
    EXPECT_EQ(shownWhileModal([&] { form->N4Click(); }), QStringLiteral("Известные подстановки"));
    EXPECT_EQ(shownWhileModal([&] { form->N7Click(); }), QStringLiteral("Настройка расположения звука"));
    form.reset();
    qunsetenv("LINTARO_CONFIG_DIR");
}
