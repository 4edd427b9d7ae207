#pragma once

#include <QString>
#include <QTemporaryFile>
#include <memory>

#include "link/gcode/GcodeStream.h"
#include "link/serial/SerialTransport.h"

// The port "gcode:FILE": every move line is translated to G-code and answered at once ("OK", a
// sample request "0" and "OK", since nothing is measured). Each job that sends lines of its own
// (manual moves do not count) writes FILE when it ends, in one atomic replace: a header of
// comments naming the job, its fields and the settings that made it, then the job's G-code from
// where the tool stood when it started. A later job writes the file anew. Opening and closing
// the port write nothing; until a job ends, its G-code waits in a temporary file beside FILE.
class GcodeFileTransport final : public SerialTransport {
public:
    // `settings` outlive the transport.
    explicit GcodeFileTransport(const ProgramSettings& settings);

    // Prepares writing `path`; false when its folder cannot take the temporary file
    // (openError() says why).
    bool open(const QString& path);
    const QString& openError() const { return m_openError; }

    qint64 write(const QByteArray& bytes) override;
    void readAvailable(QByteArray& into) override;
    void describeLine(const LineMeaning& meaning) override;
    void noteStop(StopLevel level) override;
    void describeJob(const QString& job) override;
    // Writes the file when the job sent lines of its own; throws JobEnded when it cannot be
    // written (the old file is kept then).
    void endJob() override;
    bool pausesAfterWrite() const override { return false; }
    // Names the file every job will write.
    std::optional<QString> describeFarEnd() override;
    bool speaksGcode() const override { return true; }

private:
    bool startBody();
    void append(const QByteArray& line);
    void writePending();
    QByteArray header() const;
    // Writes the file from the header and the body: an empty text, or the message naming the
    // file and the reason (the old file kept, no temporary file left).
    QString commit();

    GcodeStream m_stream;
    QString m_path;
    QString m_openError;
    std::unique_ptr<QTemporaryFile> m_body;
    QString m_job;
    QString m_kind;  // the kind of the job's lines, for a header without a described job
    QByteArray m_replies;
    QByteArray m_pending;     // lines not yet in the temporary file
    QString m_bodyError;      // the first failed write of the temporary file, if any
    bool m_jobLines = false;  // the job sent lines that are not manual moves
    bool m_probed = false;
};
