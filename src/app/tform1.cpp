#include "tform1.h"

namespace lintaro {

TForm1::TForm1(Interaction &interaction, SettingsStore &settings, QWidget *parent)
    : QMainWindow(parent), m_interaction(interaction), m_settings(settings)
{
    setWindowTitle(QStringLiteral("VELMAR(R) Lintaro V1.2"));
}

TForm1::~TForm1() = default;

} // namespace lintaro
