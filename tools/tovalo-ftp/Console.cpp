// The console of tovalo-ftp on both platforms: terminal checks, reading a password without echo, ~/.netrc.
#include "tools/tovalo-ftp/Console.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#if defined(_WIN32)
#include <windows.h>
#include <io.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace nsFtpCli {
namespace {

#if defined(_WIN32)

// Echo off on the console input for as long as it lives.
class CEchoOff {
public:
    CEchoOff() : m_handle(::GetStdHandle(STD_INPUT_HANDLE)) {
        m_bChanged = ::GetConsoleMode(m_handle, &m_mode) &&
                     ::SetConsoleMode(m_handle, m_mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    }
    ~CEchoOff() {
        if (m_bChanged) ::SetConsoleMode(m_handle, m_mode);
    }
    CEchoOff(const CEchoOff&) = delete;
    CEchoOff& operator=(const CEchoOff&) = delete;

private:
    HANDLE m_handle;
    DWORD m_mode = 0;
    bool m_bChanged = false;
};

#else

class CEchoOff {
public:
    CEchoOff() {
        if (::tcgetattr(STDIN_FILENO, &m_saved) != 0) return;
        termios quiet = m_saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        m_bChanged = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    ~CEchoOff() {
        if (m_bChanged) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
    }
    CEchoOff(const CEchoOff&) = delete;
    CEchoOff& operator=(const CEchoOff&) = delete;

private:
    termios m_saved{};
    bool m_bChanged = false;
};

#endif

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

bool IsTerminal(EStandardStream stream) noexcept {
#if defined(_WIN32)
    return ::_isatty(::_fileno(stream == EStandardStream::Input ? stdin : stderr)) != 0;
#else
    return ::isatty(stream == EStandardStream::Input ? STDIN_FILENO : STDERR_FILENO) == 1;
#endif
}

bool ReadHiddenLine(const std::string& prompt, std::string& line) {
    // The prompt starts with a capital: "password for me@host: " becomes "Password for me@host: ".
    std::string shown = prompt;
    if (!shown.empty() && shown[0] >= 'a' && shown[0] <= 'z') shown[0] = static_cast<char>(shown[0] - 'a' + 'A');
    std::cerr << shown << std::flush;
    bool read = false;
    {
        const CEchoOff echoOff;
        read = static_cast<bool>(std::getline(std::cin, line));
    }
#if defined(_WIN32)
    std::cerr << '\n';  // the console echoes no line end either
#endif
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return read;
}

std::string DefaultNetrcPath() {
    const std::string home = Variable("HOME");
    if (!home.empty()) return home + "/.netrc";
#if defined(_WIN32)
    const std::string profile = Variable("USERPROFILE");
    if (!profile.empty()) return profile + "\\_netrc";
#endif
    return std::string();
}

}  // namespace nsFtpCli
