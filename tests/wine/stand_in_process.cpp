#include "tests/wine/stand_in_process.h"

#include <chrono>

namespace {

void CloseIfOpen(HANDLE& handle) {
    if (handle != nullptr) CloseHandle(handle);
    handle = nullptr;
}

// A job whose processes end when its last handle closes: with the test process, if need be.
HANDLE CreateKillOnCloseJob() {
    const HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (job == nullptr) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return job;
}

}  // namespace

std::string ExecutableDirectory() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of("\\/") + 1);
}

bool StandInProcess::Start(const std::string& program, const std::string& arguments) {
    Stop();
    CloseIfOpen(process_);
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE inputRead = nullptr;
    HANDLE outputWrite = nullptr;
    if (!CreatePipe(&inputRead, &inputWrite_, &inheritable, 0) ||
        !CreatePipe(&outputRead_, &outputWrite, &inheritable, 0)) {
        CloseIfOpen(inputRead);
        CloseIfOpen(inputWrite_);
        CloseIfOpen(outputRead_);
        return false;
    }
    // Only the child's ends are inherited.
    SetHandleInformation(inputWrite_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outputRead_, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inputRead;
    startup.hStdOutput = outputWrite;
    startup.hStdError = outputWrite;
    const std::string path = ExecutableDirectory() + program;
    std::string commandLine = "\"" + path + "\" " + arguments;
    PROCESS_INFORMATION started{};
    const BOOL created = CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        CREATE_SUSPENDED, nullptr, nullptr, &startup, &started);
    CloseIfOpen(inputRead);
    CloseIfOpen(outputWrite);
    if (!created) {
        CloseIfOpen(inputWrite_);
        CloseIfOpen(outputRead_);
        return false;
    }
    job_ = CreateKillOnCloseJob();
    if (job_ != nullptr) AssignProcessToJobObject(job_, started.hProcess);
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    process_ = started.hProcess;
    running_ = true;
    output_.clear();
    outputEnded_ = false;
    reader_ = std::thread(&StandInProcess::CollectOutput, this);
    return true;
}

void StandInProcess::CollectOutput() {
    char chunk[512];
    DWORD got = 0;
    while (ReadFile(outputRead_, chunk, sizeof chunk, &got, nullptr) && got != 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        // Console programs end their lines with CR LF; tests look for plain "\n".
        for (DWORD i = 0; i < got; ++i) {
            if (chunk[i] != '\r') output_ += chunk[i];
        }
        outputArrived_.notify_all();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    outputEnded_ = true;
    outputArrived_.notify_all();
}

bool StandInProcess::WaitForOutput(const std::string& text, DWORD timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return outputArrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return output_.find(text) != std::string::npos || outputEnded_;
    }) && output_.find(text) != std::string::npos;
}

std::string StandInProcess::Output() {
    std::lock_guard<std::mutex> lock(mutex_);
    return output_;
}

bool StandInProcess::WaitForExit(DWORD timeoutMs) {
    if (process_ == nullptr || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) {
        return false;
    }
    // The pipe closes with the program, but its last lines may still be on their way to the
    // reader: wait for them, so that what a test reads after the end is all there is.
    constexpr auto kLastOutputWait = std::chrono::seconds(5);
    std::unique_lock<std::mutex> lock(mutex_);
    outputArrived_.wait_for(lock, kLastOutputWait, [&] { return outputEnded_; });
    return true;
}

DWORD StandInProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (process_ != nullptr) GetExitCodeProcess(process_, &code);
    return code;
}

void StandInProcess::Stop() {
    if (!running_) return;
    running_ = false;
    CloseIfOpen(inputWrite_);
    constexpr DWORD kGraceMs = 5000;
    if (!WaitForExit(kGraceMs)) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, INFINITE);
    }
    // Closing the job ends whatever the program started; then nothing holds the pipe open.
    CloseIfOpen(job_);
    if (reader_.joinable()) reader_.join();
    CloseIfOpen(outputRead_);
}

StandInProcess::~StandInProcess() {
    Stop();
    CloseIfOpen(process_);
}
