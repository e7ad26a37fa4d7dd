// The update log of a run on a LAN machine, and the command line it is named by. Writing "[END]"
// ends the process, so every unattended path that gives up logs its reason and then "[END]".
#pragma once

#include <string>
#include <vector>

#include "core/exit_codes.h"

namespace updexar {

// The command line split at every ":" (fields counted from 0).
std::vector<std::string> CommandFields(const std::string& commandLine);
// Interactive when the command line is empty; automatic when the LAN run started us.
bool IsAutomaticMode();

// {field 1}\{field 3}\{field 2} + extension; throws 9 "Subscript out of range" when the command
// line has fewer than four fields.
std::string ReportFilePath(const std::string& commandLine, const std::string& extension);

// Appends one entry: "[START]" first when the log is not open yet; CR LF pairs become ";" and
// tabs two blanks. "[END]" closes the log and ends the process at once. When the log cannot be
// written the process ends with ExitLogUnwritable: an unattended run shows no message box.
void LogErrorLAN(const std::string& text);

// What the process ends with at "[END]": once "Process:Update:OK" has been logged, ExitOk, or
// ExitUpdatedWithErrors when an "Error:" line came before it; else the outcome a failing step
// noted last (ExitUpdateStep when none did).
void NoteRunOutcome(ExitCode code);
// Notes the outcome, then logs "[END]": the end of an unattended run that gives up.
[[noreturn]] void EndAutomaticRun(ExitCode code);

// Writes the marker file ("[START]", "Connected", "[END]") that tells the LAN run this machine
// has started.
void WriteMarkerFile();

// Forgets an open log without writing (for tests that start the program over).
void ResetUpdateLog();

}  // namespace updexar
