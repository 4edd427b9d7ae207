#include <QCoreApplication>
#include <cstdio>

#include "Version.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::printf("cnc %s\n", kVersionText);
    return 0;
}
