#include "app/config/AtomicFile.h"

#include <unistd.h>

#include <QFileInfo>
#include <cerrno>
#include <cstring>

class AtomicFile::Device final : public QIODevice {
public:
    explicit Device(AtomicFile& file) : m_file(file) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        return m_file.write(QByteArrayView(data, size)) ? size : -1;
    }

private:
    AtomicFile& m_file;
};

AtomicFile::AtomicFile(const QString& path) : m_path(path), m_file(path) {
    // Never fall back to writing the target in place: a failure then would leave half a file.
    m_file.setDirectWriteFallback(false);
}

AtomicFile::~AtomicFile() {
    if (!m_committed) cancel();
}

bool AtomicFile::open() {
    const QFileInfo info(m_path);
    if (info.isDir()) {
        fail(QStringLiteral("это каталог"));
        return false;
    }
    if (info.exists() && !info.isFile()) m_device = std::make_unique<QFile>(m_path);
    // Unbuffered, so that a short write (a full disk) shows at the write that failed instead of
    // in a flush that QSaveFile does not check before its rename.
    if (!target().open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        fail(target().errorString());
        return false;
    }
    return true;
}

QFileDevice& AtomicFile::target() {
    if (m_device) return *m_device;
    return m_file;
}

bool AtomicFile::write(QByteArrayView bytes) {
    if (!m_reason.isEmpty() || !target().isOpen()) return false;
    if (!writeWhole(target(), bytes)) {
        fail(target().errorString());
        return false;
    }
    return true;
}

QIODevice& AtomicFile::device() {
    if (!m_writer) m_writer = std::make_unique<Device>(*this);
    return *m_writer;
}

bool AtomicFile::commit() {
    if (m_reason.isEmpty() && !target().isOpen()) fail(QStringLiteral("файл не открыт"));
    if (!m_reason.isEmpty()) {
        cancel();
        return false;
    }
    if (m_device) {
        m_device->close();
        m_committed = true;
        return true;
    }
    // On the disk before the rename, so that a crash leaves the old file or the whole new one.
    // (A file system that cannot sync, EINVAL, has nothing more to write.)
    if (::fsync(m_file.handle()) != 0 && errno != EINVAL) {
        fail(QString::fromLocal8Bit(std::strerror(errno)));
        cancel();
        return false;
    }
    if (!m_file.commit()) {
        fail(m_file.errorString());
        return false;
    }
    m_committed = true;
    return true;
}

void AtomicFile::cancel() {
    if (m_device) m_device->close();
    if (!m_file.isOpen()) return;
    // A cancelled QSaveFile removes its temporary file in its commit, which then fails.
    m_file.cancelWriting();
    m_file.commit();
}

void AtomicFile::abandon(const QString& reason) {
    fail(reason);
    cancel();
}

QString AtomicFile::errorMessage() const {
    return m_reason.isEmpty() ? QString() : fileWriteFailure(m_path, m_reason);
}

void AtomicFile::fail(const QString& reason) {
    if (m_reason.isEmpty()) m_reason = reason.isEmpty() ? QStringLiteral("ошибка записи") : reason;
}

bool writeWhole(QIODevice& device, QByteArrayView bytes) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = device.write(bytes.data() + done, bytes.size() - done);
        if (written <= 0) return false;
        done += written;
    }
    return true;
}

QString fileWriteFailure(const QString& path, const QString& reason) {
    return QStringLiteral("Не удалось записать файл %1: %2").arg(path, reason);
}

QString writeFileAtomically(const QString& path, QByteArrayView bytes) {
    AtomicFile file(path);
    if (file.open() && file.write(bytes) && file.commit()) return QString();
    return file.errorMessage();
}
