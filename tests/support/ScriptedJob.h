#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <functional>
#include <memory>

#include "app/config/ProgramSettings.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/MoveProtocol.h"
#include "link/serial/SerialDriver.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestProgram.h"

// The lines a job of `window` sends with these `fields`, through a scripted port that answers
// every line "OK", at 0.005 mm a step on every axis: what the job computes, to compare with what
// a batch run sent. The program's link and settings are left as they were at start-up.
inline QList<QByteArray> LinesSentBy(MoveRules window, const QMap<JobField, QString>& fields,
                                     const std::function<void(JobHost&, MoveProtocol&)>& job) {
    Program& program = testProgram();
    ProgramSettings& settings = program.settings.values();
    settings.StepRatioX = settings.StepRatioY = settings.StepRatioZ = 0.005;
    auto script = std::make_shared<PortScript>();
    script->perLine = {"OK\r\n"};
    program.link.adopt(program.driver.attach(std::make_unique<ScriptedTransport>(script)));
    FakeJobHost host;
    host.fields = fields;
    MoveProtocol protocol(window, host, program.link, settings);
    job(host, protocol);
    program.link.close();
    settings = ProgramSettings();
    return script->written;
}
