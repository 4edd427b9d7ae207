#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryFile>
#include <memory>

#include "link/gcode/GcodeStream.h"
#include "link/serial/SerialTransport.h"

// The port "gcode:FILE": every move line is translated to G-code and answered at once ("OK", a
// sample request "0" and "OK", since nothing is measured). The file is written when the port
// closes, in one atomic replace: a header of comments naming the jobs, pictures and settings
// that made it, then the G-code. Until then the G-code waits in a temporary file beside it.
class GcodeFileTransport final : public SerialTransport {
public:
    // `settings` outlive the transport.
    explicit GcodeFileTransport(const ProgramSettings& settings);
    ~GcodeFileTransport() override;

    // Prepares writing `path`; false when its folder cannot take the temporary file.
    bool open(const QString& path);

    qint64 write(const QByteArray& bytes) override;
    void readAvailable(QByteArray& into) override;
    void describeLine(const LineMeaning& meaning) override;
    void describeJob(const QString& job) override;
    bool pausesAfterWrite() const override { return false; }

    // Writes the file now (as closing does, once): an empty text, or the message naming the
    // file and the reason, the old file kept and no temporary file left.
    QString finish() override;

private:
    void append(const QByteArray& line);
    void writePending();
    QByteArray header() const;

    GcodeStream m_stream;
    QString m_path;
    std::unique_ptr<QTemporaryFile> m_body;
    QStringList m_jobs;
    QStringList m_windows;  // the kinds of lines seen, for a header without described jobs
    QByteArray m_replies;
    QByteArray m_pending;  // lines not yet in the temporary file
    QString m_bodyError;   // the first failed write of the temporary file, if any
    bool m_probed = false;
    bool m_committed = false;
};
