#include "app/batch/batch_crash_note.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <mutex>

namespace dvk {

namespace {

struct Note {
    std::string path, temporary, text;
};

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

// The armed note. The handler takes it (exchange), so that a note is written
// once and never freed under it; arming and disarming free the one they
// replace.
std::atomic<Note*> g_note{nullptr};
struct sigaction g_previous[NSIG];

void write_note(const Note& note) {
    const int fd = ::open(note.temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const char* p = note.text.data();
    std::size_t left = note.text.size();
    bool whole = true;
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n <= 0) {
            whole = false;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (whole) ::rename(note.temporary.c_str(), note.path.c_str());
    else ::unlink(note.temporary.c_str());
}

void on_fatal_signal(int signal) {
    if (Note* note = g_note.exchange(nullptr)) write_note(*note);
    // The signal's course as it was: the handler before, or the default end.
    sigaction(signal, &g_previous[signal], nullptr);
    raise(signal);
}

void install_handlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction sa = {};
        sa.sa_handler = on_fatal_signal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0;
        for (int s : kFatalSignals) sigaction(s, &sa, &g_previous[s]);
    });
}

}  // namespace

std::string crashNoteTemporaryPath(const std::string& path) { return path + ".crash"; }

void armCrashNote(const std::string& path, std::string text) {
    install_handlers();
    delete g_note.exchange(new Note{path, crashNoteTemporaryPath(path), std::move(text)});
}

void disarmCrashNote() { delete g_note.exchange(nullptr); }

}  // namespace dvk
