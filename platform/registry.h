#pragma once
// The Windows registry as the About screen needs it: just enough to find the
// system-information tool, behind an interface so the reading rules can be
// exercised with a registry of the test's own on any system.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

namespace typetoki {

// A key handle as the registry hands it out; 0 is "no key".
using RegistryKey = std::uintptr_t;

enum class RegistryRoot { LocalMachine };

// KEY_ALL_ACCESS: what the lookup has always asked for, although it only reads.
constexpr std::uint32_t kKeyAllAccess = 0x2003F;
constexpr std::uint32_t kRegString = 1;   // REG_SZ
constexpr std::uint32_t kRegNumber = 4;   // REG_DWORD
constexpr std::uint32_t kValueBufferSize = 1024;

class Registry {
public:
    virtual ~Registry() = default;
    // Opens keyName under root; false when it does not exist or is refused.
    virtual bool open(RegistryRoot root, const QString &keyName, std::uint32_t access,
                      RegistryKey &key) = 0;
    // Reads valueName into buffer, which holds size bytes; on success size
    // becomes the number of bytes written and type the value's kind. A value
    // larger than the buffer is a failure.
    virtual bool query(RegistryKey key, const QString &valueName, std::uint32_t &type,
                       char *buffer, std::uint32_t &size) = 0;
    // Also called with the handle of a failed open, which must be harmless.
    virtual void close(RegistryKey key) = 0;
};

// The registry of this machine: advapi32 on Windows; elsewhere there is no
// registry and every key fails to open.
class SystemRegistry final : public Registry {
public:
    bool open(RegistryRoot root, const QString &keyName, std::uint32_t access,
              RegistryKey &key) override;
    bool query(RegistryKey key, const QString &valueName, std::uint32_t &type, char *buffer,
               std::uint32_t &size) override;
    void close(RegistryKey key) override;
};

// Reads one value as text into value. A string replaces value; a number is
// written in upper-case hexadecimal after what value already held, with
// "&h" in front; any other kind leaves value alone. Returns false, with
// value emptied, when the key or the value cannot be read.
bool GetKeyValue(Registry &registry, RegistryRoot root, const QString &keyName,
                 const QString &valueName, QString &value);

// Everything StartSysInfo touches outside itself, so that tests can put
// fakes in its place.
struct SysInfoHooks {
    Registry *registry = nullptr;
    std::function<bool(const QString &path)> fileExists;
    // Starts the program directly (no shell), without waiting for it;
    // false when it could not be started.
    std::function<bool(const QString &path)> startProgram;
    // The full path of a program found on the PATH, or "" when there is none.
    std::function<QString(const QString &name)> findExecutable;
    std::function<void(const QString &text)> showMessage;

    // The real file system, process starter and PATH, and registry as
    // given; showMessage is left for the caller, which owns the window.
    static SysInfoHooks System(Registry &registry);
};

// Desktop system-information viewers tried, in this order, where the
// registry names no tool.
const QStringList &SysInfoViewers();

inline const QString kSysInfoUnavailable = QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません");

// Starts the system-information tool that the registry names; where the
// registry has none (every system but Windows), a viewer from the PATH.
// Shows kSysInfoUnavailable when nothing could be started.
void StartSysInfo(const SysInfoHooks &hooks);

}  // namespace typetoki
