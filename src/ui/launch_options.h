#pragma once

#include <string>

// How the program was started. Without arguments it opens its window and waits for the
// user. "/run" runs every definition at once, as the run button does, answers the end of
// the run itself and ends with a code that tells how the run went: a task of the Task
// Scheduler can start it so. "/quiet" beside it also answers what would need a person: the
// question before mass deletions is answered No, and nothing waits for a password or a
// box.
struct LaunchOptions {
    bool run = false;
    bool quiet = false;
};

// The exit codes of a run started with "/run".
constexpr int kExitAllDone = 0;         // everything done
constexpr int kExitSomethingUndone = 1; // error lines in the log, or the area not set again
constexpr int kExitDeclined = 2;        // a definition stopped by the mass-deletion question
constexpr int kExitStopped = 3;         // stopped by the user
constexpr int kExitNotStarted = 4;      // another instance runs, the definition file or the
                                        // protected area could not be opened, or the arguments
                                        // are not understood

// Reads the arguments after the program's name (as WinMain gets them). Accepts nothing,
// "/run" and "/run /quiet", in any case and order, each word optionally in quotes. False,
// with the first word it does not accept, for anything else ("/quiet" alone included).
bool parseLaunchArguments(const char* arguments, LaunchOptions& options, std::string& rejected);

// The box that lists the accepted arguments, naming the one that was not accepted.
std::string launchArgumentsText(const std::string& rejected);
