#pragma once
// A keyring in memory for the GUI tests, installed for all of them by the
// test environment: no test reads or writes the user's real keyring.

#include <QHash>

#include "gui/imap/TImapKeyring.h"

class TFakeImapKeyring : public TImapKeyring {
  public:
    TRead Read(const QString& key) override {
        ++reads;
        if (unreachable) {
            return {TFound::kUnreachable, {}, QStringLiteral("no keyring in this test")};
        }
        const auto it = entries.constFind(key);
        return it == entries.constEnd() ? TRead{} : TRead{TFound::kYes, *it, {}};
    }
    QString Write(const QString& key, const QString& password) override {
        if (unreachable) {
            return QStringLiteral("no keyring in this test");
        }
        entries.insert(key, password);
        return {};
    }
    QString Remove(const QString& key) override {
        entries.remove(key);
        return {};
    }

    QHash<QString, QString> entries;
    bool unreachable = false;
    int reads = 0;
};

// The environment's keyring, emptied by each test that uses it.
TFakeImapKeyring& TestKeyring();
