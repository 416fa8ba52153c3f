#pragma once
// Runs the controller on a board directory: boots, and boots again after every board restart
// (mon_restart, a watchdog bite), until asked to stop.

#include <atomic>

#include "app/command_line.h"

// Why the board stopped.
enum class BoardEnd { kStopped, kFailed };

// stop: set from outside (signal) to end the run; pollStop is called every 200 ms of real time
// and may set it. argc/argv are handed to the controller's main.
BoardEnd RunBoard(const CommandLine& line, int argc, char** argv, std::atomic<bool>& stop,
                  void (*pollStop)(std::atomic<bool>& stop));
