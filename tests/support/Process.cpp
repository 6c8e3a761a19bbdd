#include "Process.h"

#include "TestFiles.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

[[noreturn]] void Exec(const std::vector<std::string> &argv)
{
    std::vector<char *> args;
    for (const auto &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

int StatusOf(int raw)
{
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

} // namespace

std::string ProgramDirectory()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

SRunResult RunProgram(const std::vector<std::string> &argv, const std::map<std::string, std::string> &env,
                      const std::string &workDir, int timeoutSeconds)
{
    const std::string outFile = workDir + "/.stdout", errFile = workDir + "/.stderr";
    const pid_t pid = fork();
    if (pid == 0) {
        for (const auto &[name, value] : env)
            setenv(name.c_str(), value.c_str(), 1);
        if (chdir(workDir.c_str()) != 0)
            _exit(126);
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        const int null = open("/dev/null", O_RDONLY);
        dup2(null, 0);
        Exec(argv);
    }
    SRunResult result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    int raw = 0;
    while (waitpid(pid, &raw, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &raw, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    result.status = StatusOf(raw);
    result.out = ReadWholeFile(outFile);
    result.err = ReadWholeFile(errFile);
    return result;
}

CBackgroundProgram::CBackgroundProgram(const std::vector<std::string> &argv, const std::string &outputFile)
{
    mPid = fork();
    if (mPid == 0) {
        const int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        Exec(argv);
    }
}

CBackgroundProgram::~CBackgroundProgram()
{
    Stop();
}

bool CBackgroundProgram::Running()
{
    return mPid > 0 && waitpid(mPid, nullptr, WNOHANG) == 0;
}

int CBackgroundProgram::Stop()
{
    if (mPid <= 0)
        return -1;
    int raw = 0;
    if (waitpid(mPid, &raw, WNOHANG) == 0) {
        kill(mPid, SIGTERM);
        for (int i = 0; i < 500 && waitpid(mPid, &raw, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (kill(mPid, 0) == 0 && waitpid(mPid, &raw, WNOHANG) == 0) {
            kill(mPid, SIGKILL);
            waitpid(mPid, &raw, 0);
            mPid = -1;
            return -1;
        }
    }
    mPid = -1;
    return StatusOf(raw);
}

bool WaitForPath(const std::string &path, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        if (std::filesystem::exists(path))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}
