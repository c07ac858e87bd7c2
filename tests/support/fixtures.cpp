#include "fixtures.h"

#include "common/cp1251.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace lintaro::test {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        ADD_FAILURE() << "cannot write fixture " << path.toStdString();
        return;
    }
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QByteArray cp1251(const QString &text)
{
    const auto bytes = cp1251::encode(text);
    EXPECT_TRUE(bytes.has_value()) << text.toStdString();
    return bytes.value_or(QByteArray());
}

bool runningAsRoot()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
#ifdef Q_OS_UNIX
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    m_previousSoft = qint64(limit.rlim_cur);
    limit.rlim_cur = rlim_t(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
    m_previousHandler = reinterpret_cast<void *>(std::signal(SIGXFSZ, SIG_IGN));
#else
    Q_UNUSED(bytes);
#endif
}

FileSizeLimit::~FileSizeLimit()
{
#ifdef Q_OS_UNIX
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = rlim_t(m_previousSoft);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, reinterpret_cast<void (*)(int)>(m_previousHandler));
#endif
}

Unprivileged::Unprivileged()
{
#ifdef Q_OS_UNIX
    if (::geteuid() != 0)
        return;
    // The group first: without root the group can no longer be changed.
    m_switched = ::setegid(65534) == 0 && ::seteuid(65534) == 0;
    if (!m_switched) {
        (void)::setegid(0);
        m_active = false;
    }
#else
    m_active = false;
#endif
}

Unprivileged::~Unprivileged()
{
#ifdef Q_OS_UNIX
    if (m_switched) {
        (void)::seteuid(0);
        (void)::setegid(0);
    }
#endif
}

void Unprivileged::openToEveryone(const QString &folder)
{
    QFile::setPermissions(folder, QFile::permissions(folder) | QFileDevice::ReadOther | QFileDevice::ExeOther
                                      | QFileDevice::ReadGroup | QFileDevice::ExeGroup);
}

QString uncreatablePath(const QString &existingFile, const QString &name)
{
    return existingFile + QStringLiteral("/") + name;
}

} // namespace lintaro::test
