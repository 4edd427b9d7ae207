#include "link/gcode/GcodeStream.h"

#include "app/config/ProgramSettings.h"

QList<GcodeStream::Taken> GcodeStream::take(const QByteArray& bytes) {
    QList<Taken> taken;
    for (const MoveLineReader::Line& read : m_reader.take(bytes)) {
        if (!read.ended) {
            taken.append({read.text, std::nullopt});
            continue;
        }
        Taken line{read.text + ';', std::nullopt};
        if (const auto steps = ParseMoveLine(read.text)) {
            const ProgramSettings& settings = m_settings;
            line.step = m_translator.translate(
                m_meaning, {settings.StepRatioX, settings.StepRatioY, settings.StepRatioZ},
                (*steps)[0], (*steps)[1], (*steps)[2]);
        }
        taken.append(line);
    }
    return taken;
}
