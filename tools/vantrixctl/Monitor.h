// monitor: the device watched from scripts, one JSON line for the state at
// the start and one for every change that the engine's idle poll sees.
#pragma once

#include <functional>

#include <nlohmann/json.hpp>

class CVantrix;
class CSMS;
class ConsoleUI;

// Goes online and prints until a stop signal (StopSignals.h: an orderly
// disconnect, then 0), until the line is lost (its result code) or until the
// output cannot be written (74). `state` and `sms` give the objects that
// status and sms-read print.
int Monitor(ConsoleUI& ui, CVantrix& model, const std::function<nlohmann::ordered_json()>& state,
            const std::function<nlohmann::ordered_json(const CSMS&)>& sms);
