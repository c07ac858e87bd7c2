#pragma once

#include <QDialog>

class QFrame;
class QPlainTextEdit;
class QPushButton;

namespace lintaro {

// The help window: modeless, created once, hidden rather than destroyed, so the
// operator finds it where it was left.
class TForm7 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm7(QWidget *parent = nullptr);

    // What the main window's "Справка" does: shows the window, or brings it to
    // the front when it is already shown.
    void showHelp();
    // Puts the window where saveGeometry() found it, for its first showing.
    void placeFrom(const QByteArray &geometry);
    bool wasShown() const { return m_placed; }

    QFrame *Bevel1;
    QPlainTextEdit *Memo1;
    QPushButton *Button1;

    void Button1Click();

private:
    bool m_placed = false;
};

} // namespace lintaro
