#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace lintaro {

class Interaction;

// The About box: a borderless info-tip panel, centred over the main window and
// titled with its caption each time it opens.
class TForm6 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm6(Interaction &interaction, QWidget *parent = nullptr);

    static QString contactAddress() { return QStringLiteral("lintaro@velmar.ru"); }

    // What the main window's "О..." does: title and place the box, then show it
    // modally. prepareOver() is the first half, for the tests.
    int showOver(const QWidget &mainWindow);
    void prepareOver(const QWidget &mainWindow);

    QFrame *Bevel1;
    QFrame *Bevel2;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label5;
    QLabel *Label4;
    QPushButton *Button1;

    void Button1Click();
    // Hands the address to the platform's mail handler; the box stays open.
    void Label5Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Interaction &m_interaction;
};

} // namespace lintaro
