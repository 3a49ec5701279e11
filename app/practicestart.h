// The practice class's start: its command-line options, the simulated
// controller put below the link in place of the serial port, and a start of
// the program anew, in practice or back at the real controller.
#pragma once

#include <QCommandLineParser>
#include <QString>
#include <memory>

#include "app/environment.h"
#include "controllersim/practicestudents.h"
#include "controllersim/simulatedline.h"

void AddPracticeOptions(QCommandLineParser& parser);

// One run of the practice class: the simulated controller and what the
// command line asked of it.
struct PracticeSession {
  std::shared_ptr<controllersim::SimulatedLine> line;
  controllersim::Liveliness liveliness = controllersim::Liveliness::Ordinary;
  // Why the practice folder could not be made, for the teacher; "" when it was.
  QString problem;
};

// With --practice (or another practice option) in environment.arguments:
// takes the practice options out
// of them, makes the practice folder, and points the environment at its
// settings, the practice lock and the simulated controller's port (a trace
// file too, with --practice-trace). nullptr without --practice.
std::unique_ptr<PracticeSession> TakePracticeStart(AppEnvironment& environment);

// Starts this program anew: in the practice class, or as the console of the
// real controller. False, with the reason, when it did not start.
bool StartProgram(bool practice, QString& problem);
