#include "tests/wine/child_process.h"

namespace {

void CloseIfOpen(HANDLE& handle) {
    if (handle != nullptr) CloseHandle(handle);
    handle = nullptr;
}

// A job whose processes end when its last handle closes: with the test process, if need be.
HANDLE CreateKillOnCloseJob() {
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
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

std::wstring Widened(const std::string& text) {
    const int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

ChildProcess::~ChildProcess() {
    End();
    CloseIfOpen(process_);
}

bool ChildProcess::Start(const std::wstring& path, const std::wstring& arguments,
                         const StandardHandles* handles,
                         const std::function<void(const PROCESS_INFORMATION&)>& beforeRun) {
    End();
    CloseIfOpen(process_);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (handles != nullptr) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = handles->input;
        startup.hStdOutput = handles->output;
        startup.hStdError = handles->error;
    }
    std::wstring commandLine = L"\"" + path + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, handles != nullptr,
                        CREATE_SUSPENDED, nullptr, nullptr, &startup, &started)) {
        return false;
    }
    job_ = CreateKillOnCloseJob();
    if (job_ != nullptr) AssignProcessToJobObject(job_, started.hProcess);
    if (beforeRun) beforeRun(started);
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    process_ = started.hProcess;
    processId_ = started.dwProcessId;
    return true;
}

bool ChildProcess::WaitForExit(DWORD timeoutMs) const {
    return process_ != nullptr && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

DWORD ChildProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (process_ != nullptr) GetExitCodeProcess(process_, &code);
    return code;
}

void ChildProcess::End(DWORD graceMs) {
    if (process_ != nullptr && !WaitForExit(graceMs)) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
    }
    CloseIfOpen(job_);
}
