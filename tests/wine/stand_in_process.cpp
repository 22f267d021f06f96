#include "tests/wine/stand_in_process.h"

#include <chrono>

namespace {

void CloseIfOpen(HANDLE& handle) {
    if (handle != nullptr) CloseHandle(handle);
    handle = nullptr;
}

}  // namespace

bool StandInProcess::Start(const std::string& program, const std::string& arguments) {
    Stop();
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

    const ChildProcess::StandardHandles handles{inputRead, outputWrite, outputWrite};
    const bool started =
        process_.Start(Widened(ExecutableDirectory() + program), Widened(arguments), &handles);
    CloseIfOpen(inputRead);
    CloseIfOpen(outputWrite);
    if (!started) {
        CloseIfOpen(inputWrite_);
        CloseIfOpen(outputRead_);
        return false;
    }
    running_ = true;
    output_.clear();
    outputEnded_ = false;
    reader_ = std::thread(&StandInProcess::CollectOutput, this);
    return true;
}

bool StandInProcess::StartReady(const std::string& name, const std::string& arguments) {
    return Start(name + ".exe", arguments) && WaitForOutput(name + " ready");
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
    if (!process_.WaitForExit(timeoutMs)) return false;
    // The pipe closes with the program, but its last lines may still be on their way to the
    // reader: wait for them, so that what a test reads after the end is all there is.
    constexpr auto kLastOutputWait = std::chrono::seconds(5);
    std::unique_lock<std::mutex> lock(mutex_);
    outputArrived_.wait_for(lock, kLastOutputWait, [&] { return outputEnded_; });
    return true;
}

void StandInProcess::Stop() {
    if (!running_) return;
    running_ = false;
    CloseIfOpen(inputWrite_);
    constexpr DWORD kGraceMs = 5000;
    // Ending the job ends whatever the program started; then nothing holds the pipe open.
    process_.End(kGraceMs);
    if (reader_.joinable()) reader_.join();
    CloseIfOpen(outputRead_);
}

StandInProcess::~StandInProcess() {
    Stop();
}
