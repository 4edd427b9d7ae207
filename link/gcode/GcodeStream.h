#pragma once

#include <QByteArray>
#include <QList>

#include "link/gcode/GcodeTranslator.h"
#include "link/protocol/MoveLineReader.h"

// The move lines arriving at a G-code port, cut at their ";" and translated with the meaning
// the protocol announced and the program's step ratios in effect at each line.
class GcodeStream {
public:
    // `settings` outlive the stream; their G-code part is taken when the stream is made.
    explicit GcodeStream(const ProgramSettings& settings)
        : m_settings(settings), m_translator(settings.Gcode) {}

    void setMeaning(const LineMeaning& meaning) { m_meaning = meaning; }

    // One move line taken from the bytes: its text with ";" and its G-code, or no G-code when
    // the text is not three signed 32-bit whole numbers.
    struct Taken {
        QByteArray line;
        std::optional<GcodeStep> step;
    };
    // Every line completed by `bytes`, in order, read as MoveLineReader reads them; noise cut
    // off at the length limit is taken as a bad line.
    QList<Taken> take(const QByteArray& bytes);

    GcodeTranslator& translator() { return m_translator; }
    const GcodeTranslator& translator() const { return m_translator; }
    const LineMeaning& meaning() const { return m_meaning; }

    const ProgramSettings& programSettings() const { return m_settings; }

private:
    const ProgramSettings& m_settings;
    GcodeTranslator m_translator;
    LineMeaning m_meaning;
    MoveLineReader m_reader;
};
