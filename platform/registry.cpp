#include "platform/registry.h"

#include <QByteArray>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <array>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace typetoki {

#ifdef Q_OS_WIN

namespace {
HKEY RootHandle(RegistryRoot root)
{
    switch (root) {
    case RegistryRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    }
    return nullptr;
}
}  // namespace

bool SystemRegistry::open(RegistryRoot root, const QString &keyName, std::uint32_t access,
                          RegistryKey &key)
{
    HKEY handle = nullptr;
    const QByteArray name = keyName.toLocal8Bit();
    if (RegOpenKeyExA(RootHandle(root), name.constData(), 0, REGSAM(access), &handle)
        != ERROR_SUCCESS)
        return false;
    key = reinterpret_cast<RegistryKey>(handle);
    return true;
}

bool SystemRegistry::query(RegistryKey key, const QString &valueName, std::uint32_t &type,
                           char *buffer, std::uint32_t &size)
{
    DWORD kind = 0;
    DWORD written = size;
    const QByteArray name = valueName.toLocal8Bit();
    if (RegQueryValueExA(reinterpret_cast<HKEY>(key), name.constData(), nullptr, &kind,
                         reinterpret_cast<LPBYTE>(buffer), &written)
        != ERROR_SUCCESS)
        return false;
    type = kind;
    size = written;
    return true;
}

void SystemRegistry::close(RegistryKey key)
{
    if (key != 0)
        RegCloseKey(reinterpret_cast<HKEY>(key));
}

#else

bool SystemRegistry::open(RegistryRoot, const QString &, std::uint32_t, RegistryKey &)
{
    return false;
}

bool SystemRegistry::query(RegistryKey, const QString &, std::uint32_t &, char *,
                           std::uint32_t &)
{
    return false;
}

void SystemRegistry::close(RegistryKey) {}

#endif

bool GetKeyValue(Registry &registry, RegistryRoot root, const QString &keyName,
                 const QString &valueName, QString &value)
{
    bool result = false;
    RegistryKey key = 0;
    if (!registry.open(root, keyName, kKeyAllAccess, key)) {
        value.clear();
    } else {
        std::array<char, kValueBufferSize> buffer{};
        std::uint32_t size = kValueBufferSize;
        std::uint32_t type = 0;
        if (!registry.query(key, valueName, type, buffer.data(), size)) {
            value.clear();
        } else {
            QByteArray data(buffer.data(), qsizetype(std::min(size, kValueBufferSize)));
            // A string usually brings its NUL along; one that filled the
            // whole buffer has none, and every byte of it is text.
            if (data.endsWith('\0'))
                data.chop(1);
            if (type == kRegString) {
                value = QString::fromLocal8Bit(data);
            } else if (type == kRegNumber) {
                // Each byte stands for one character of the text, read from
                // the last to the first, so the little-endian number comes
                // out most significant byte first (each without its
                // leading zero, as the lookup has always written it).
                for (qsizetype i = data.size() - 1; i >= 0; --i)
                    value += QString::number(uchar(data.at(i)), 16).toUpper();
                value.prepend(QStringLiteral("&h"));
            }
            result = true;
        }
    }
    registry.close(key);
    return result;
}

SysInfoHooks SysInfoHooks::System(Registry &registry)
{
    SysInfoHooks hooks;
    hooks.registry = &registry;
    hooks.fileExists = [](const QString &path) { return QFileInfo(path).isFile(); };
    hooks.startProgram = [](const QString &path) {
        return !path.isEmpty() && QProcess::startDetached(path, {});
    };
    hooks.findExecutable = [](const QString &name) {
        return QStandardPaths::findExecutable(name);
    };
    return hooks;
}

const QStringList &SysInfoViewers()
{
    // The desktops' own information centres first, then general ones.
    static const QStringList viewers = {QStringLiteral("kinfocenter"),
                                        QStringLiteral("hardinfo"),
                                        QStringLiteral("gnome-system-monitor")};
    return viewers;
}

void StartSysInfo(const SysInfoHooks &hooks)
{
    QString path;
    bool registered = false;
    if (hooks.registry) {
        registered = GetKeyValue(*hooks.registry, RegistryRoot::LocalMachine,
                                 QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                                 QStringLiteral("PATH"), path);
        if (!registered
            && GetKeyValue(*hooks.registry, RegistryRoot::LocalMachine,
                           QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                           QStringLiteral("MSINFO"), path)) {
            const QString program = path + QStringLiteral("\\MSINFO32.EXE");
            if (!hooks.fileExists(program)) {
                hooks.showMessage(kSysInfoUnavailable);
                return;
            }
            path = program;
            registered = true;
        }
    }

    if (registered) {
        // The first value's path is trusted as it stands: a missing file
        // shows up as a failed start.
        if (!hooks.startProgram(path))
            hooks.showMessage(kSysInfoUnavailable);
        return;
    }

    for (const QString &name : SysInfoViewers()) {
        const QString found = hooks.findExecutable(name);
        if (!found.isEmpty() && hooks.startProgram(found))
            return;
    }
    hooks.showMessage(kSysInfoUnavailable);
}

}  // namespace typetoki
