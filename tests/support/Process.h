#pragma once
// Runs the programs under test as separate processes.

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

struct SRunResult
{
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// The folder of the running test executable, where the programs are built too.
std::string ProgramDirectory();

// Runs a program to its end (killed after timeoutSeconds), with extra environment variables.
SRunResult RunProgram(const std::vector<std::string> &argv, const std::map<std::string, std::string> &env,
                      const std::string &workDir, int timeoutSeconds = 120);

// A program in the background, stopped with SIGTERM when the object ends.
class CBackgroundProgram
{
public:
    CBackgroundProgram(const std::vector<std::string> &argv, const std::string &outputFile);
    ~CBackgroundProgram();
    // SIGTERM and the exit status; -1 if it had to be killed.
    int Stop();
    bool Running();

private:
    pid_t mPid = -1;
};

// Waits until the path exists (or the time is up).
bool WaitForPath(const std::string &path, int timeoutMs = 5000);
