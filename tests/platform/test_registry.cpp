// The registry as the About screen reads it, and the system-information
// lookup against a registry, file system and PATH of the test's own.
#include "platform/registry.h"
#include "support/fakeregistry.h"

#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

QByteArray Bytes(std::initializer_list<int> bytes)
{
    QByteArray data;
    for (int b : bytes)
        data.append(char(b));
    return data;
}

const QString kKey = QStringLiteral("SOFTWARE\\Test");

TEST(GetKeyValue, ReadsStringsNumbersAndNothingElse)
{
    struct Case {
        const char *what;
        bool keyExists;
        bool valueExists;
        StoredValue stored;
        QString before;
        bool result;
        QString after;
    };
    const QByteArray full(1024, 'x');
    const Case cases[] = {
        {"string with its NUL", true, true, {1, QByteArray("C:\\msinfo32.exe", 16)}, "old", true,
         "C:\\msinfo32.exe"},
        {"string without NUL", true, true, {1, "abc"}, "old", true, "abc"},
        {"string filling the buffer without NUL", true, true, {1, full}, "", true,
         QString(1024, 'x')},
        {"string filling the buffer with NUL", true, true, {1, full.left(1023) + '\0'}, "", true,
         QString(1023, 'x')},
        {"only the last NUL goes", true, true, {1, QByteArray("ab\0c\0", 5)}, "", true,
         QString::fromLatin1("ab\0c", 4)},
        {"empty string", true, true, {1, QByteArray("\0", 1)}, "old", true, ""},
        {"string too large for the buffer", true, true, {1, QByteArray(1025, 'x')}, "old", false,
         ""},
        {"number, every byte set", true, true, {4, Bytes({0x78, 0x56, 0x34, 0x12})}, "", true,
         "&h12345678"},
        {"number after what the caller held", true, true, {4, Bytes({0x78, 0x56, 0x34, 0x12})},
         "7", true, "&h712345678"},
        {"number 1 loses its top zero byte", true, true, {4, Bytes({1, 0, 0, 0})}, "", true,
         "&h001"},
        {"number in upper case, no leading zeros", true, true, {4, Bytes({0x0B, 0xFA, 0, 0})}, "",
         true, "&h0FAB"},
        {"expandable string is left alone", true, true, {2, "%windir%"}, "old", true, "old"},
        {"binary is left alone", true, true, {3, Bytes({1, 2})}, "old", true, "old"},
        {"no such key", false, false, {}, "old", false, ""},
        {"no such value", true, false, {}, "old", false, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FakeRegistry registry;
        if (c.keyExists) {
            registry.keys["SOFTWARE\\Other"];
            registry.keys[kKey];
            if (c.valueExists)
                registry.keys[kKey]["PATH"] = c.stored;
        }
        QString value = c.before;
        EXPECT_EQ(GetKeyValue(registry, RegistryRoot::LocalMachine, kKey, "PATH", value), c.result);
        EXPECT_EQ(value, c.after);
        EXPECT_EQ(registry.opened, QStringList{kKey});
        // The key is closed once, also when it never opened (handle 0).
        ASSERT_EQ(registry.closed.size(), 1u);
        EXPECT_EQ(registry.closed[0], c.keyExists ? RegistryKey(101) : RegistryKey(0));
        if (c.keyExists) {
            EXPECT_EQ(registry.offered, std::vector<std::uint32_t>{1024});
        } else {
            EXPECT_TRUE(registry.offered.empty());
        }
    }
}

TEST(GetKeyValue, ThisSystemsRegistry)
{
    SystemRegistry registry;
    QString value = "old";
#ifdef Q_OS_WIN
    // Whatever this machine holds, a key that nobody makes is not there.
    EXPECT_FALSE(GetKeyValue(registry, RegistryRoot::LocalMachine,
                             "SOFTWARE\\typetoki tests\\no such key", "PATH", value));
#else
    EXPECT_FALSE(GetKeyValue(registry, RegistryRoot::LocalMachine,
                             "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", value));
#endif
    EXPECT_EQ(value, "");
}

// ---- StartSysInfo --------------------------------------------------------------

QByteArray Sz(const QString &text) { return text.toLatin1() + '\0'; }

TEST(StartSysInfo, RegistryFirstThenTheFolderThenAViewerOnThePath)
{
    const QString tool = "C:\\Tools\\msinfo32.exe";
    const QString folder = "C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo";
    const QString inFolder = folder + "\\MSINFO32.EXE";
    struct Case {
        const char *what;
        bool firstValue, secondValue;
        QStringList files, startable;
        QMap<QString, QString> onPath;
        QStringList started, asked, looked;
        bool message;
    };
    const QMap<QString, QString> viewers = {{"kinfocenter", "/usr/bin/kinfocenter"},
                                            {"gnome-system-monitor", "/usr/bin/gnome-system-monitor"}};
    const Case cases[] = {
        {"first value started as it stands", true, true, {}, {tool}, viewers, {tool}, {}, {}, false},
        {"first value names a missing file: the start fails", true, false, {}, {}, viewers, {tool},
         {}, {}, true},
        {"second value, its folder holds the tool", false, true, {inFolder}, {inFolder}, viewers,
         {inFolder}, {inFolder}, {}, false},
        {"second value, no tool in its folder: no start at all", false, true, {}, {inFolder},
         viewers, {}, {inFolder}, {}, true},
        {"second value, the tool does not start", false, true, {inFolder}, {}, viewers, {inFolder},
         {inFolder}, {}, true},
        {"no registry: the first viewer on the PATH", false, false, {},
         {"/usr/bin/kinfocenter", "/usr/bin/gnome-system-monitor"}, viewers,
         {"/usr/bin/kinfocenter"}, {}, {"kinfocenter"}, false},
        {"no registry: a viewer that fails to start gives way to the next", false, false, {},
         {"/usr/bin/gnome-system-monitor"}, viewers,
         {"/usr/bin/kinfocenter", "/usr/bin/gnome-system-monitor"}, {},
         {"kinfocenter", "hardinfo", "gnome-system-monitor"}, false},
        {"no registry and no viewer", false, false, {}, {}, {}, {}, {},
         {"kinfocenter", "hardinfo", "gnome-system-monitor"}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        World world;
        if (c.firstValue)
            world.registry.keys[kFirstKey]["PATH"] = {1, Sz(tool)};
        if (c.secondValue)
            world.registry.keys[kSecondKey]["MSINFO"] = {1, Sz(folder)};
        world.files = c.files;
        world.startable = c.startable;
        world.onPath = c.onPath;
        StartSysInfo(world.hooks());
        EXPECT_EQ(world.started, c.started);
        EXPECT_EQ(world.asked, c.asked);
        EXPECT_EQ(world.looked, c.looked);
        EXPECT_EQ(world.messages, c.message ? QStringList{kUnavailable} : QStringList{});
        const QStringList keys = c.firstValue ? QStringList{kFirstKey}
                                              : QStringList{kFirstKey, kSecondKey};
        EXPECT_EQ(world.registry.opened, keys);
        EXPECT_EQ(world.registry.closed.size(), std::size_t(keys.size()));
    }
}

TEST(StartSysInfo, ThisSystemFallsBackToThePath)
{
#ifdef Q_OS_WIN
    GTEST_SKIP() << "Windows has a registry of its own";
#else
    SystemRegistry registry;
    SysInfoHooks hooks = SysInfoHooks::System(registry);
    QStringList looked, started, messages;
    hooks.findExecutable = [&](const QString &name) {
        looked << name;
        return name == "hardinfo" ? QString("/opt/bin/hardinfo") : QString();
    };
    hooks.startProgram = [&](const QString &path) {
        started << path;
        return true;
    };
    hooks.showMessage = [&](const QString &text) { messages << text; };
    StartSysInfo(hooks);
    EXPECT_EQ(looked, (QStringList{"kinfocenter", "hardinfo"}));
    EXPECT_EQ(started, QStringList{"/opt/bin/hardinfo"});
    EXPECT_TRUE(messages.isEmpty());
#endif
}

TEST(StartSysInfo, TheRealStarterAndFileTest)
{
    SystemRegistry registry;
    const SysInfoHooks hooks = SysInfoHooks::System(registry);
    EXPECT_FALSE(hooks.startProgram(QStringLiteral(TYPETOKI_BIN_DIR "/no such program")));
    EXPECT_FALSE(hooks.startProgram(QString()));
    EXPECT_FALSE(hooks.fileExists(QStringLiteral(TYPETOKI_BIN_DIR "/no such file")));
    EXPECT_FALSE(hooks.fileExists(QStringLiteral(TYPETOKI_BIN_DIR)));  // a folder is no program
    EXPECT_TRUE(hooks.fileExists(QStringLiteral(TYPETOKI_SOURCE_DIR "/CMakeLists.txt")));
#ifndef Q_OS_WIN
    // Started directly: a name with a blank is one program, not a command.
    EXPECT_FALSE(hooks.startProgram(QStringLiteral("true --version")));
    EXPECT_TRUE(hooks.startProgram(QStandardPaths::findExecutable("true")));
#endif
}

}  // namespace
