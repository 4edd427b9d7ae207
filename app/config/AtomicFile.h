#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QIODevice>
#include <QSaveFile>
#include <QString>
#include <memory>

// A file written whole or not at all. The bytes go to a temporary file in the target's folder;
// every write is checked, and commit() flushes the file to disk and only then renames it over
// the target. Any failure (a full disk, no rights, a folder that is missing) leaves the target
// as it was and removes the temporary file. Every writer of the program's own files goes
// through it: G-code files, previews, the scanner's files, the label grid, "cnc.ini". A target
// that exists and is no regular file (a device such as /dev/stdout or /dev/full, a pipe) is
// never replaced: it is written directly, every write still checked.
class AtomicFile {
public:
    explicit AtomicFile(const QString& path);
    // Removes the temporary file unless commit() succeeded.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file; false (with errorMessage()) when it cannot be made.
    bool open();
    // Appends `bytes`; false once any write has failed (later writes are not tried).
    bool write(QByteArrayView bytes);
    // A write-only device over write(), for writers that take one (QImageWriter): its writes
    // are checked as write()'s are. Valid while the AtomicFile lives.
    QIODevice& device();
    // Flushes, syncs and renames over the target; false (the target untouched, the temporary
    // file removed) when any step or any earlier write failed.
    bool commit();
    // Gives up: the temporary file is removed, the target stays as it was.
    void cancel();
    // Gives up because the writer handed device() failed for `reason`; a failed write of the
    // file, if there was one, is the reason reported instead.
    void abandon(const QString& reason);

    const QString& path() const { return m_path; }
    // "Не удалось записать файл PATH: REASON" for the first failure; empty while none.
    QString errorMessage() const;

private:
    class Device;
    void fail(const QString& reason);
    QFileDevice& target();

    QString m_path;
    QSaveFile m_file;
    std::unique_ptr<QFile> m_device;  // the target itself, when it is no regular file
    std::unique_ptr<Device> m_writer;
    QString m_reason;
    bool m_committed = false;
};

// Writes all of `bytes` to the unbuffered `device`. A short write (a disk that fills up in the
// middle) is tried again for the rest, so that the write that fails leaves the system's reason
// in device.errorString(). Returns false when not everything was written.
bool writeWhole(QIODevice& device, QByteArrayView bytes);

// The message for a file of the program that could not be written: "Не удалось записать файл "
// + path + ": " + reason.
QString fileWriteFailure(const QString& path, const QString& reason);

// Writes `bytes` to `path` whole or not at all. Returns an empty text, or the message naming
// the file and the system's reason.
QString writeFileAtomically(const QString& path, QByteArrayView bytes);
