#pragma once

#include <QChar>
#include <QComboBox>
#include <QStringList>

namespace lintaro {

// A selector of drive letters, one entry per drive ("c:"). It keeps the drive
// in effect apart from the entry shown: a drive that is not listed can still be
// in effect while the selection stays where it was.
class DriveComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit DriveComboBox(QWidget *parent = nullptr);

    // The drives of the machine; where drive letters do not exist, the letters
    // a to z, so that a WAV drive can still be named for Windows paths.
    static QStringList platformDrives();

    void setDrives(const QStringList &entries);

    // The lower-case letter in effect; null when none.
    QChar drive() const { return m_drive; }
    // Stores the letter in lower case and selects the entry that starts with it
    // and ":", whatever its case; with no such entry the selection stays.
    void setDrive(QChar letter);

private:
    void entryChosen(int index);

    QChar m_drive;
};

} // namespace lintaro
