#include "drivecombobox.h"

#include <QDir>
#include <QFileInfo>

namespace lintaro {

DriveComboBox::DriveComboBox(QWidget *parent) : QComboBox(parent)
{
    setDrives(platformDrives());
    connect(this, &QComboBox::activated, this, &DriveComboBox::entryChosen);
}

QStringList DriveComboBox::platformDrives()
{
    QStringList entries;
    for (const QFileInfo &root : QDir::drives()) {
        const QString path = root.absoluteFilePath();
        if (path.size() >= 2 && path[1] == u':' && path[0].isLetter())
            entries.append(path.left(1).toLower() + u':');
    }
    if (entries.isEmpty()) {
        for (char16_t letter = u'a'; letter <= u'z'; ++letter)
            entries.append(QString(QChar(letter)) + u':');
    }
    return entries;
}

void DriveComboBox::setDrives(const QStringList &entries)
{
    clear();
    addItems(entries);
    setCurrentIndex(-1);
    if (!m_drive.isNull())
        setDrive(m_drive);
}

void DriveComboBox::setDrive(QChar letter)
{
    m_drive = letter.toLower();
    if (m_drive.isNull())
        return;
    const QString prefix = QString(m_drive) + u':';
    for (int i = 0; i < count(); ++i) {
        if (itemText(i).startsWith(prefix, Qt::CaseInsensitive)) {
            setCurrentIndex(i);
            return;
        }
    }
}

void DriveComboBox::entryChosen(int index)
{
    const QString entry = itemText(index);
    if (!entry.isEmpty())
        m_drive = entry[0].toLower();
}

} // namespace lintaro
