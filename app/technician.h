// The technician's command-line options: the ports found, and the port the
// controller answers on. Both run without a display.
#pragma once

#include <QCommandLineParser>

// Adds --list-ports and --find-controller to the program's options.
void AddTechnicianOptions(QCommandLineParser& parser);

// Runs the technician option given, if any: the exit code, or -1 when none was given.
int AnswerTechnicianOptions(const QCommandLineParser& parser);
