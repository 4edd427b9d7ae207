#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include "app/config/Config.h"
#include "tests/support/TestProgram.h"

// A configuration file in a fresh temporary directory, the test program's configuration file
// for the life of the object.
class ScopedConfig {
public:
    ScopedConfig()
        : m_path(m_dir.filePath(QStringLiteral("cnc.ini"))),
          m_previous(testProgram().config.ConfigPath()) {
        testProgram().config = ConfigFile(m_path);
    }
    ~ScopedConfig() { testProgram().config = ConfigFile(m_previous); }

    const QString& path() const { return m_path; }
    QString dir() const { return m_dir.path(); }
    void write(const QByteArray& bytes) const {
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly)) file.write(bytes);
    }
    QByteArray bytes() const {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    QString m_previous;
};
