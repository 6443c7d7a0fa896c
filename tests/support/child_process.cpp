#include "tests/support/child_process.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace sensor::testing {
namespace {

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int process_id() {
#ifdef _WIN32
    return static_cast<int>(GetCurrentProcessId());
#else
    return static_cast<int>(::getpid());
#endif
}

#ifdef _WIN32

std::wstring wide(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}

// The quoting CommandLineToArgvW undoes: backslashes double only before a quote.
void append_quoted(std::wstring& line, const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) {
        line += arg;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, L'\\');
    line += L'"';
}

HANDLE inheritable_file(const fs::path& path, bool for_writing) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return CreateFileW(path.c_str(), for_writing ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &sa, for_writing ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int start_and_wait(const std::string& program, const std::vector<std::string>& args, const ChildInput& input,
                   const fs::path& out, const fs::path& err) {
    std::wstring line;
    append_quoted(line, wide(program));
    for (const std::string& a : args) {
        line += L' ';
        append_quoted(line, wide(a));
    }
    HANDLE in_read = INVALID_HANDLE_VALUE, in_write = INVALID_HANDLE_VALUE;
    if (input.file) {
        in_read = inheritable_file(*input.file, false);
    } else {
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        if (CreatePipe(&in_read, &in_write, &sa, 0)) SetHandleInformation(in_write, HANDLE_FLAG_INHERIT, 0);
    }
    HANDLE out_h = inheritable_file(out, true);
    HANDLE err_h = inheritable_file(err, true);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in_read;
    si.hStdOutput = out_h;
    si.hStdError = err_h;
    PROCESS_INFORMATION pi{};
    const BOOL started = CreateProcessW(wide(program).c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &si, &pi);
    CloseHandle(in_read);
    CloseHandle(out_h);
    CloseHandle(err_h);
    if (in_write != INVALID_HANDLE_VALUE) {
        // A program that stops reading early breaks the pipe; that is its business, not a failure here.
        DWORD written = 0;
        for (std::size_t at = 0; started && at < input.piped.size(); at += written) {
            const DWORD part = static_cast<DWORD>(std::min<std::size_t>(input.piped.size() - at, 1 << 16));
            if (!WriteFile(in_write, input.piped.data() + at, part, &written, nullptr)) break;
        }
        CloseHandle(in_write);
    }
    if (!started) return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return static_cast<int>(code);
}

#else

int start_and_wait(const std::string& program, const std::vector<std::string>& args, const ChildInput& input,
                   const fs::path& out, const fs::path& err) {
    int pipe_fds[2] = {-1, -1};
    if (!input.file && ::pipe(pipe_fds) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        const int in_fd = input.file ? ::open(input.file->c_str(), O_RDONLY) : pipe_fds[0];
        const int out_fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in_fd < 0 || out_fd < 0 || err_fd < 0) ::_exit(127);
        ::dup2(in_fd, 0);
        ::dup2(out_fd, 1);
        ::dup2(err_fd, 2);
        if (pipe_fds[1] >= 0) ::close(pipe_fds[1]);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    if (!input.file) {
        ::close(pipe_fds[0]);
        // A program that stops reading early breaks the pipe; that is its business, not a failure here.
        struct sigaction ignore{}, old{};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGPIPE, &ignore, &old);
        for (std::size_t at = 0; at < input.piped.size();) {
            const ssize_t n = ::write(pipe_fds[1], input.piped.data() + at, input.piped.size() - at);
            if (n <= 0) break;
            at += static_cast<std::size_t>(n);
        }
        ::close(pipe_fds[1]);
        ::sigaction(SIGPIPE, &old, nullptr);
    }
    int raw = 0;
    if (::waitpid(pid, &raw, 0) != pid) return -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

#endif

}  // namespace

fs::path unique_temp_path(const std::string& stem) {
    static std::atomic<int> counter{0};
    return fs::temp_directory_path() /
           (stem + "_" + std::to_string(process_id()) + "_" + std::to_string(counter++));
}

ChildResult run_child(const std::string& program, const std::vector<std::string>& args, const ChildInput& input,
                      const std::optional<fs::path>& output_file) {
    const fs::path out = output_file ? *output_file : unique_temp_path("child_out");
    const fs::path err = unique_temp_path("child_err");
    ChildResult r;
    r.status = start_and_wait(program, args, input, out, err);
    if (!output_file) {
        r.out = slurp(out);
        fs::remove(out);
    }
    r.err = slurp(err);
    fs::remove(err);
    return r;
}

}  // namespace sensor::testing
