#pragma once
// A registry of the test's own, and a world around the system-information
// lookup (files, programs, the PATH, its message) that takes notes.

#include "platform/registry.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace typetoki::testing {

struct StoredValue {
    std::uint32_t type;
    QByteArray data;
};

class FakeRegistry final : public Registry {
public:
    bool open(RegistryRoot root, const QString &keyName, std::uint32_t access,
              RegistryKey &key) override
    {
        opened << keyName;
        EXPECT_EQ(root, RegistryRoot::LocalMachine);
        EXPECT_EQ(access, 0x2003Fu);
        const QStringList names = keys.keys();
        const qsizetype i = names.indexOf(keyName);
        if (i < 0)
            return false;
        key = RegistryKey(100 + i);
        return true;
    }
    bool query(RegistryKey key, const QString &valueName, std::uint32_t &type, char *buffer,
               std::uint32_t &size) override
    {
        offered.push_back(size);
        const QMap<QString, StoredValue> &values = keys[keys.keys().at(qsizetype(key - 100))];
        if (!values.contains(valueName))
            return false;
        const StoredValue &v = values[valueName];
        if (std::uint32_t(v.data.size()) > size)
            return false;  // does not fit the buffer
        std::memcpy(buffer, v.data.constData(), std::size_t(v.data.size()));
        size = std::uint32_t(v.data.size());
        type = v.type;
        return true;
    }
    void close(RegistryKey key) override { closed.push_back(key); }

    QMap<QString, QMap<QString, StoredValue>> keys;
    QStringList opened;
    std::vector<std::uint32_t> offered;
    std::vector<RegistryKey> closed;
};

// The keys the lookup reads, and what it says when nothing can be started.
inline const QString kFirstKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline const QString kSecondKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline const QString kUnavailable = "現時点ではｼｽﾃﾑ情報を使用できません";

struct World {
    SysInfoHooks hooks()
    {
        SysInfoHooks h;
        h.registry = &registry;
        h.fileExists = [this](const QString &path) {
            asked << path;
            return files.contains(path);
        };
        h.startProgram = [this](const QString &path) {
            started << path;
            return startable.contains(path);
        };
        h.findExecutable = [this](const QString &name) {
            looked << name;
            return onPath.value(name);
        };
        h.showMessage = [this](const QString &text) { messages << text; };
        return h;
    }
    FakeRegistry registry;
    QStringList files, startable;
    QMap<QString, QString> onPath;
    QStringList asked, started, looked, messages;
};

}  // namespace typetoki::testing
