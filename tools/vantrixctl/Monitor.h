// monitor: the device watched from scripts, one JSON line for the state at
// the start and one for every change that the engine's idle poll sees.
#pragma once

#include <functional>

#include <nlohmann/json.hpp>

class CVantrix;
class CSMS;
class ConsoleUI;

// SIGINT and SIGTERM are taken by the monitor's own thread; this must run
// before any other thread starts.
void BlockStopSignals();
// Waits up to a second for SIGINT or SIGTERM (on Windows Ctrl+C, Ctrl+Break
// or the console closing); true when one came.
bool WaitForStopSignal();

// Goes online and prints until SIGINT or SIGTERM (an orderly disconnect,
// then 0), until the line is lost (its result code) or until the output
// cannot be written (74). `state` and `sms` give
// the objects that status and sms-read print.
int Monitor(ConsoleUI& ui, CVantrix& model, const std::function<nlohmann::ordered_json()>& state,
            const std::function<nlohmann::ordered_json(const CSMS&)>& sms);
