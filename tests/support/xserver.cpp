#include "xserver.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>

#include <csignal>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lintaro::test {

namespace {

QString &startProblem()
{
    static QString problem = QStringLiteral("no X server was started");
    return problem;
}

// xprop writes bytes it does not print as octal escapes ("\320\241").
QByteArray unescaped(const QByteArray &text)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '3') {
            bytes.append(char(text.mid(i + 1, 3).toInt(nullptr, 8)));
            i += 3;
        } else if (text[i] == '\\' && i + 1 < text.size()) {
            bytes.append(text[++i]);
        } else {
            bytes.append(text[i]);
        }
    }
    return bytes;
}

} // namespace

bool XServer::start()
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        startProblem() = QStringLiteral("Xvfb is not installed (Debian: xvfb)");
        return false;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty()) {
        startProblem() = QStringLiteral("xprop is not installed (Debian: x11-utils)");
        return false;
    }
    int channel[2];
    if (pipe(channel) != 0) {
        startProblem() = QStringLiteral("no pipe for Xvfb");
        return false;
    }
    const QByteArray program = xvfb.toLocal8Bit();
    const QByteArray fd = QByteArray::number(channel[1]);
    const pid_t pid = fork();
    if (pid == 0) {
        close(channel[0]);
        prctl(PR_SET_PDEATHSIG, SIGTERM); // the server ends with the tests, however they end
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        // Xvfb picks a free display and writes its number to the descriptor.
        execl(program.constData(), "Xvfb", "-displayfd", fd.constData(), "-screen", "0", "1024x768x24",
            "-nolisten", "tcp", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(channel[1]);
    if (pid < 0) {
        close(channel[0]);
        startProblem() = QStringLiteral("Xvfb could not be started");
        return false;
    }
    m_pid = pid;
    QByteArray display;
    pollfd ready { channel[0], POLLIN, 0 };
    char buffer[32];
    while (!display.endsWith('\n') && poll(&ready, 1, 10000) > 0) {
        const ssize_t got = read(channel[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        display.append(buffer, got);
    }
    close(channel[0]);
    display = display.trimmed();
    if (display.isEmpty()) {
        startProblem() = QStringLiteral("Xvfb did not start within 10 seconds");
        return false;
    }
    qputenv("DISPLAY", ':' + display);
    startProblem().clear();
    return true;
}

XServer::~XServer()
{
    if (m_pid <= 0)
        return;
    kill(pid_t(m_pid), SIGTERM);
    waitpid(pid_t(m_pid), nullptr, 0);
}

QString XServer::problem()
{
    if (startProblem().isEmpty() && QGuiApplication::platformName() != QStringLiteral("xcb"))
        return QStringLiteral("Qt could not use the X server (platform %1)")
            .arg(QGuiApplication::platformName());
    return startProblem();
}

QString XServer::shownTitle(QWidget *window)
{
    QProcess xprop;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    xprop.setProcessEnvironment(environment);
    xprop.start(QStringLiteral("xprop"),
        { QStringLiteral("-id"), QString::number(window->winId()), QStringLiteral("-notype"),
            QStringLiteral("_NET_WM_NAME") });
    if (!xprop.waitForFinished(10000) || xprop.exitCode() != 0) {
        ADD_FAILURE() << "xprop failed: " << xprop.readAllStandardError().toStdString();
        return {};
    }
    // _NET_WM_NAME = "the title"
    const QByteArray line = xprop.readAllStandardOutput().trimmed();
    const qsizetype open = line.indexOf('"');
    if (open < 0 || !line.endsWith('"')) {
        ADD_FAILURE() << "no title in: " << line.toStdString();
        return {};
    }
    return QString::fromUtf8(unescaped(line.sliced(open + 1, line.size() - open - 2)));
}

} // namespace lintaro::test
