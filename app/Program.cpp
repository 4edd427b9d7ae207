#include "app/Program.h"

#include "link/gcode/GcodeFileTransport.h"
#include "link/gcode/GrblTransport.h"
#include "link/virtual/VirtualController.h"

Program::Program(const QString& configPath) : config(configPath) {
    addProgramPortKinds(portKinds, settings.values());
}

void addProgramPortKinds(PortKinds& kinds, const ProgramSettings& settings) {
    SerialDriver& driver = kinds.driver();
    kinds.add(QStringLiteral("sim"), [&driver](const QString& address, int) {
        if (address.isEmpty()) return driver.attach(makeVirtualControllerTransport(false));
        if (address == QLatin1String("probe"))
            return driver.attach(makeVirtualControllerTransport(true));
        driver.setOpenError(QStringLiteral("виртуальный станок бывает только sim и sim:probe"));
        return kPortCannotOpen;
    });
    kinds.add(QStringLiteral("gcode"), [&driver, &settings](const QString& address, int) {
        auto file = std::make_unique<GcodeFileTransport>(settings);
        if (!file->open(address)) {
            driver.setOpenError(file->openError());
            return kPortCannotOpen;
        }
        return driver.attach(std::move(file));
    });
    kinds.add(QStringLiteral("grbl"), [&driver, &settings](const QString& address, int) {
        auto grbl = std::make_unique<GrblTransport>(settings);
        const int result = grbl->open(address);
        if (result != 0) {
            driver.setOpenError(grbl->openError());
            return result;
        }
        return driver.attach(std::move(grbl));
    });
}
