#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <functional>
#include <memory>

#include "app/ProgramSettings.h"
#include "link/Fakes.h"
#include "link/MachineLink.h"
#include "link/MoveProtocol.h"
#include "link/SerialPort.h"

// The lines a job of `window` sends with these `fields`, through a scripted port that answers
// every line "OK", at 0.005 mm a step on every axis: what the job computes, to compare with what
// a batch run sent. The program's link and settings are left as they were at start-up.
inline QList<QByteArray> LinesSentBy(MoveWindow window, const QMap<JobField, QString>& fields,
                                     const std::function<void(JobHost&, MoveProtocol&)>& job) {
    Settings().StepRatioX = Settings().StepRatioY = Settings().StepRatioZ = 0.005;
    auto script = std::make_shared<PortScript>();
    script->perLine = {"OK\r\n"};
    programMachineLink().adopt(SerialAttach(std::make_unique<ScriptedTransport>(script)));
    FakeJobHost host;
    host.fields = fields;
    MoveProtocol protocol(window, host, programMachineLink());
    job(host, protocol);
    programMachineLink().close();
    Settings() = ProgramSettings();
    return script->written;
}
