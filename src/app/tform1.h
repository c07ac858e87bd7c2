#pragma once

#include <QMainWindow>

namespace lintaro {

class Interaction;
class SettingsStore;

class TForm1 : public QMainWindow
{
    Q_OBJECT

public:
    TForm1(Interaction &interaction, SettingsStore &settings, QWidget *parent = nullptr);
    ~TForm1() override;

private:
    Interaction &m_interaction;
    SettingsStore &m_settings;
};

} // namespace lintaro
