#pragma once

#include "app/Program.h"

// The program's parts as a test program's code under test gets them: one set for the whole test
// program, made on first use, with its configuration file in a temporary folder (a test that
// needs a file of its own sets `config`). Tests leave the link closed and the settings at their
// defaults when they end.
Program& testProgram();
