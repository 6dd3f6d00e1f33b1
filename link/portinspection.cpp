// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/portinspection.h"

#include "link/comport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <vector>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/sysmacros.h>
#endif

namespace {

#ifdef Q_OS_UNIX
QString userName(uid_t id)
{
    const passwd *entry = ::getpwuid(id);
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(id);
}

QString groupName(gid_t id)
{
    const group *entry = ::getgrgid(id);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(id);
}

QList<uint> sessionGroups()
{
    QList<uint> groups{uint(::getegid())};
    const int count = ::getgroups(0, nullptr);
    if (count <= 0)
        return groups;
    std::vector<gid_t> ids(static_cast<size_t>(count));
    const int got = ::getgroups(count, ids.data());
    for (int i = 0; i < got; ++i)
        groups.append(ids[size_t(i)]);
    return groups;
}

QList<uint> accountGroups(const passwd &entry, const QList<uint> &session)
{
#ifdef Q_OS_LINUX
    int count = 64;
    std::vector<gid_t> ids(static_cast<size_t>(count));
    if (::getgrouplist(entry.pw_name, entry.pw_gid, ids.data(), &count) < 0) {
        ids.resize(size_t(count));
        if (::getgrouplist(entry.pw_name, entry.pw_gid, ids.data(), &count) < 0)
            return session;
    }
    return QList<uint>(ids.begin(), ids.begin() + count);
#else
    Q_UNUSED(entry);
    return session;
#endif
}
#endif

#ifdef Q_OS_LINUX
// "minicom (process 1234)", or empty when the process is this one or gone. The name is the
// program file's: the kernel's own name for a process is cut at 15 characters.
QString processText(qint64 pid)
{
    if (pid <= 0 || pid == QCoreApplication::applicationPid())
        return {};
    QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!commandLine.open(QIODevice::ReadOnly))
        return {};
    const QByteArray program = commandLine.readAll().split('\0').value(0);
    return QStringLiteral("%1 (process %2)")
            .arg(QFileInfo(QString::fromLocal8Bit(program)).fileName())
            .arg(pid);
}

// The process named by a UUCP-style lock file, as serial programs leave them.
QString lockHolder(const QString &deviceName)
{
    for (const char *folder : {"/run/lock", "/var/lock"}) {
        QFile lock(QStringLiteral("%1/LCK..%2").arg(QLatin1String(folder), deviceName));
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        const QString text = processText(lock.readLine().trimmed().toLongLong());
        if (!text.isEmpty())
            return text;
    }
    return {};
}

// The processes of this user with the device open. Other users' open files are not readable.
QStringList openFileHolders(const QString &canonicalPath)
{
    QStringList holders;
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &process : processes) {
        bool numeric = false;
        const qint64 pid = process.toLongLong(&numeric);
        if (!numeric || pid == QCoreApplication::applicationPid())
            continue;
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(process));
        const QFileInfoList files = fds.entryInfoList(QDir::AllEntries | QDir::System
                                                      | QDir::NoDotAndDotDot);
        for (const QFileInfo &fd : files) {
            if (fd.symLinkTarget() == canonicalPath) {
                holders << processText(pid);
                break;
            }
        }
    }
    holders.removeAll(QString());
    return holders;
}

// The controlling terminal's device number, as the kernel gives it in the seventh field of
// /proc/self/stat; 0 without one. The second field, the name, may hold blanks and brackets.
dev_t controllingTerminal()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const uint number = fields.value(4).toUInt();
    return makedev((number >> 8) & 0xfff, (number & 0xff) | ((number >> 12) & 0xfff00));
}

// Devices of another kind than tty lines (memory devices such as /dev/null, sound, input)
// belong to another class in sysfs. Pseudo-terminals have no entry there.
bool isOtherThanALine(dev_t device)
{
    const QFileInfo subsystem(
            QStringLiteral("/sys/dev/char/%1:%2/subsystem").arg(major(device)).arg(minor(device)));
    return subsystem.isSymLink() && QFileInfo(subsystem.symLinkTarget()).fileName() != "tty";
}
#endif

#ifdef Q_OS_UNIX
dev_t deviceNumber(const char *path)
{
    struct stat info
    { };
    return ::stat(path, &info) == 0 && S_ISCHR(info.st_mode) ? info.st_rdev : dev_t(-1);
}

// This process's own terminal: /dev/tty, which stands for it, the controlling terminal itself,
// and the terminals of the standard streams.
bool isOwnTerminal(dev_t device)
{
    if (device == deviceNumber("/dev/tty"))
        return true;
#ifdef Q_OS_LINUX
    if (device == controllingTerminal())
        return true;
#endif
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        struct stat info
        { };
        if (::isatty(fd) && ::fstat(fd, &info) == 0 && info.st_rdev == device)
            return true;
    }
    return false;
}

DeviceKind deviceKind(dev_t device)
{
    if (isOwnTerminal(device))
        return DeviceKind::OwnTerminal;
    if (device == deviceNumber("/dev/ptmx"))
        return DeviceKind::PseudoTerminalMultiplexer;
#ifdef Q_OS_LINUX
    if (isOtherThanALine(device))
        return DeviceKind::NotALine;
#endif
    return DeviceKind::Line;
}
#endif

} // namespace

DeviceStatus inspectDevice(const QString &path)
{
    DeviceStatus status;
    status.pseudoTerminal = isPseudoTerminalPath(path);
#ifdef Q_OS_UNIX
    struct stat info
    { };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        // Only a path that is not there says something; other failures leave it unknown.
        status.linkLoop = errno == ELOOP;
        status.known = errno == ENOENT || errno == ENOTDIR || status.linkLoop;
        return status;
    }
    status.known = true;
    status.exists = true;
    status.characterDevice = S_ISCHR(info.st_mode);
    status.folder = S_ISDIR(info.st_mode);
    if (status.characterDevice)
        status.kind = deviceKind(info.st_rdev);
    status.permissions = info.st_mode & 0777;
    status.ownerId = info.st_uid;
    status.ownerName = userName(info.st_uid);
    status.groupId = info.st_gid;
    status.groupName = groupName(info.st_gid);
#else
    Q_UNUSED(path);
#endif
    return status;
}

UserStatus inspectUser()
{
    UserStatus user;
#ifdef Q_OS_UNIX
    user.id = ::getuid();
    user.sessionGroups = sessionGroups();
    user.accountGroups = user.sessionGroups;
    if (const passwd *entry = ::getpwuid(::getuid())) {
        user.name = QString::fromLocal8Bit(entry->pw_name);
        user.accountGroups = accountGroups(*entry, user.sessionGroups);
    }
#endif
    return user;
}

QStringList deviceHolders(const QString &path)
{
#ifdef Q_OS_LINUX
    const QFileInfo device(path);
    const QString canonical = device.canonicalFilePath();
    if (canonical.isEmpty())
        return {};
    // Lock files name the device by its path under /dev, with '_' for '/': LCK..pts_2.
    const QString devices = QStringLiteral("/dev/");
    const QString lockName = canonical.startsWith(devices)
                                     ? canonical.mid(devices.size())
                                               .replace(QLatin1Char('/'), QLatin1Char('_'))
                                     : QFileInfo(canonical).fileName();
    QStringList holders = openFileHolders(canonical);
    const QString lock = lockHolder(lockName);
    if (!lock.isEmpty()) {
        holders.removeAll(lock);
        holders.prepend(lock);
    }
    return holders;
#else
    Q_UNUSED(path);
    return {};
#endif
}
