// cumavg: the running mean of the values of "avirer", written to "MoyMobilCumul.txt".
//
// The new means go to a temporary file beside the output file, which replaces the output
// file only once every value has been read and written: a failure leaves the previous
// output exactly as it was.
#include "cumavg.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/files.hpp"
#include "freeform.hpp"

namespace cumavg {

namespace {

constexpr const char* kTempPattern = ".MoyMobilCumul.txt.XXXXXX";

struct Output {
    char path[PATH_MAX];       // the file finally replaced
    char temp[PATH_MAX + 32];  // the new content until it replaces it
    std::FILE* file;
    bool in_place;  // a device or a FIFO: written directly, never replaced
};

// ------------------------------------------------------------------------ diagnostics

int fail(std::FILE* err, const char* what, const char* detail = nullptr) {
    Line line;
    line_begin(line, err);
    put_text(line, "cumavg : ");
    put_text(line, what);
    if (detail != nullptr) put_text(line, detail);
    line_end(line);
    return kFailure;
}

int fail_errno(std::FILE* err, const char* what, int code) {
    return fail(err, what, std::strerror(code));
}

int fail_value(std::FILE* err, const Reader& rd, ReadStatus st, int64_t i, int32_t count) {
    const int code = errno;
    Line line;
    line_begin(line, err);
    put_text(line, "cumavg : ");
    if (st == ReadStatus::Bad) {
        put_text(line, "avirer, ligne");
        put_int(line, rd.line);
        put_text(line, " : valeur illisible : ");
        put_text(line, rd.token);
    } else if (st == ReadStatus::TooLong) {
        put_text(line, "avirer, ligne");
        put_int(line, rd.line);
        put_text(line, " : ligne de plus de 16 Mio");
    } else if (st == ReadStatus::End) {
        put_text(line, "avirer ne contient que");
        put_int(line, i - 1);
        put_text(line, " valeurs sur");
        put_int(line, count);
    } else {
        put_text(line, "lecture de avirer impossible : ");
        put_text(line, std::strerror(code));
    }
    line_end(line);
    return kFailure;
}

int fail_count(std::FILE* err, const Reader& rd, ReadStatus st) {
    if (st == ReadStatus::Bad) return fail(err, "nombre de donnees illisible : ", rd.token);
    if (st == ReadStatus::End) return fail(err, "nombre de donnees absent (fin de l'entree)");
    if (st == ReadStatus::TooLong)
        return fail(err, "nombre de donnees illisible : ligne de plus de 16 Mio");
    return fail_errno(err, "lecture du nombre de donnees impossible : ", errno);
}

// ------------------------------------------------------------------------ signals

// While the temporary file exists, SIGINT, SIGTERM and SIGHUP remove it before the process
// ends as the signal's default action would end it.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
char g_temp[PATH_MAX + 32];
volatile sig_atomic_t g_temp_exists = 0;

extern "C" void on_stop_signal(int sig) {
    if (g_temp_exists) unlink(g_temp);
    signal(sig, SIG_DFL);
    raise(sig);
}

// Installs the handler (where the signal is not ignored) for the lifetime of the object.
class StopSignals {
public:
    StopSignals() {
        struct sigaction sa {};
        sa.sa_handler = on_stop_signal;
        sigemptyset(&sa.sa_mask);
        for (size_t i = 0; i < 3; ++i) {
            sigaction(kStopSignals[i], nullptr, &old_[i]);
            if (old_[i].sa_handler != SIG_IGN) sigaction(kStopSignals[i], &sa, nullptr);
        }
    }
    ~StopSignals() {
        for (size_t i = 0; i < 3; ++i) sigaction(kStopSignals[i], &old_[i], nullptr);
    }

private:
    struct sigaction old_[3];
};

// Holds the stop signals back while the temporary file is created, renamed or removed, so
// that the handler always sees whether it exists.
class HoldSignals {
public:
    HoldSignals() {
        sigset_t s;
        sigemptyset(&s);
        for (int sig : kStopSignals) sigaddset(&s, sig);
        sigprocmask(SIG_BLOCK, &s, &old_);
    }
    ~HoldSignals() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

private:
    sigset_t old_;
};

// ------------------------------------------------------------------------ output file

// The file to replace: where "MoyMobilCumul.txt" leads when it is a symbolic link, so that
// the link itself stays in place, even when the file it names does not exist yet. A loop of
// links stops after 40 hops (open_output refuses it).
void resolve_output(Output& out) {
    const std::string target = core::resolve_links(kOutputName);
    std::snprintf(out.path, sizeof out.path, "%s",
                  target.size() < sizeof out.path ? target.c_str() : kOutputName);
    const char* slash = std::strrchr(out.path, '/');
    const int dir_len = slash == nullptr ? 0 : static_cast<int>(slash - out.path) + 1;
    std::snprintf(out.temp, sizeof out.temp, "%.*s%s", dir_len, out.path, kTempPattern);
}

// Permissions of the new file: those of the file it replaces, else those of a new file.
mode_t output_mode(const Output& out) {
    struct stat st;
    if (stat(out.path, &st) == 0) return st.st_mode & 0777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

void remove_temp(const Output& out) {
    HoldSignals hold;
    unlink(out.temp);
    g_temp_exists = 0;
}

// Creates the temporary file; refuses an existing output file the user may not write.
int open_output(Output& out, std::FILE* err) {
    out.file = nullptr;
    resolve_output(out);
    if (access(out.path, F_OK) == 0 && access(out.path, W_OK) != 0) {
        return fail_errno(err, "ecriture de MoyMobilCumul.txt impossible : ", errno);
    }
    // A device or a FIFO would be replaced by a plain file: it is written directly (a FIFO
    // with no reader is refused rather than waited for).
    struct stat st;
    const bool exists = stat(kOutputName, &st) == 0;
    if (!exists && errno == ELOOP) {  // a loop of links: a rename would replace one of them
        return fail_errno(err, "ecriture de MoyMobilCumul.txt impossible : ", ELOOP);
    }
    out.in_place = exists && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
    if (out.in_place) {
        const int fd = open(kOutputName, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        int code = fd < 0 ? errno : 0;
        if (code == 0 && fcntl(fd, F_SETFL, 0) != 0) code = errno;
        if (code == 0 && (out.file = fdopen(fd, "w")) == nullptr) code = errno;
        if (code == 0) return 0;
        if (fd >= 0) close(fd);
        return fail_errno(err, "ecriture de MoyMobilCumul.txt impossible : ", code);
    }
    int fd;
    {
        HoldSignals hold;
        fd = mkstemp(out.temp);
        if (fd >= 0) {
            std::memcpy(g_temp, out.temp, sizeof g_temp);
            g_temp_exists = 1;
        }
    }
    if (fd < 0) return fail_errno(err, "ecriture de MoyMobilCumul.txt impossible : ", errno);
    if (fchmod(fd, output_mode(out)) != 0 || (out.file = fdopen(fd, "w")) == nullptr) {
        const int code = errno;
        close(fd);
        remove_temp(out);
        return fail_errno(err, "ecriture de MoyMobilCumul.txt impossible : ", code);
    }
    return 0;
}

void discard_output(Output& out) {
    std::fclose(out.file);
    if (!out.in_place) remove_temp(out);
}

// Puts the complete new content in place of the output file.
int commit_output(Output& out, std::FILE* err) {
    int code = 0;
    errno = 0;
    if (std::fflush(out.file) != 0 || std::ferror(out.file)
        || (!out.in_place && fsync(fileno(out.file)) != 0)) {
        code = errno != 0 ? errno : EIO;
    }
    if (std::fclose(out.file) != 0 && code == 0) code = errno;
    if (out.in_place) {
        return code == 0 ? 0 : fail_errno(err, "ecriture de MoyMobilCumul.txt impossible : ", code);
    }
    if (code == 0) {
        HoldSignals hold;
        if (std::rename(out.temp, out.path) == 0) {
            g_temp_exists = 0;
            return 0;
        }
        code = errno;
    }
    remove_temp(out);
    return fail_errno(err, "ecriture de MoyMobilCumul.txt impossible : ", code);
}

// ------------------------------------------------------------------------- input file

// Opens "avirer": a regular file only. A FIFO, a device or a folder would give no end, or
// no values: it is refused, without waiting for a writer.
int open_input(std::FILE*& data, std::FILE* err) {
    const int fd = open(kInputName, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail_errno(err, "ouverture de avirer impossible : ", errno);
    struct stat st;
    int code = fstat(fd, &st) == 0 ? 0 : errno;
    if (code == 0 && S_ISDIR(st.st_mode)) code = EISDIR;
    if (code == 0 && !S_ISREG(st.st_mode)) {
        close(fd);
        return fail(err, "ouverture de avirer impossible : ", "n'est pas un fichier ordinaire");
    }
    if (code == 0 && fcntl(fd, F_SETFL, 0) != 0) code = errno;
    if (code == 0 && (data = fdopen(fd, "r")) == nullptr) code = errno;
    if (code != 0) {
        close(fd);
        return fail_errno(err, "ouverture de avirer impossible : ", code);
    }
    return 0;
}

// --------------------------------------------------------------------------- the means

// Reads `count` values from `data` and writes the header and the running means.
int write_means(std::FILE* data, int32_t count, Output& out, std::FILE* err) {
    Line line;
    line_begin(line, out.file);
    put_text(line, " iteration Moyenne_Cumulee");
    bool ok = line_end(line);

    Reader rd;
    reader_init(rd, data);
    float mean = 0.0f;
    for (int64_t i = 1; i <= count && ok; ++i) {
        float value = 0.0f;
        errno = 0;
        const ReadStatus st = read_real(rd, value);
        if (st != ReadStatus::Ok) return fail_value(err, rd, st, i, count);
        if (i == 1) {
            mean = value;
        } else {
            mean = (mean * static_cast<float>(i - 1) + value) / static_cast<float>(i);
        }
        line_begin(line, out.file);
        put_int(line, i);
        put_real(line, mean);
        ok = line_end(line);
    }
    if (!ok) return fail_errno(err, "ecriture de MoyMobilCumul.txt impossible : ", errno);
    return 0;
}

}  // namespace

int run(std::FILE* in, std::FILE* out, std::FILE* err) {
    Line prompt;
    line_begin(prompt, out);
    put_text(prompt, "Nb de donnees");
    errno = 0;
    // Nothing is done for a user who cannot see the prompt (a full disk, a closed output).
    if (!line_end(prompt) || std::fflush(out) != 0 || std::ferror(out)) {
        return fail_errno(err,
                          "ecriture de la sortie standard impossible : ", errno != 0 ? errno : EIO);
    }

    Reader rd;
    reader_init(rd, in);
    int32_t count = 0;
    errno = 0;
    const ReadStatus st = read_int(rd, count);
    if (st != ReadStatus::Ok) return fail_count(err, rd, st);
    if (count < 0) count = 0;

    // With no value to read, "avirer" is not needed at all.
    std::FILE* data = nullptr;
    if (count > 0) {
        const int status = open_input(data, err);
        if (status != 0) return status;
    }
    StopSignals stop_signals;
    Output output;
    int status = open_output(output, err);
    if (status == 0) {
        status = write_means(data, count, output, err);
        if (status == 0) {
            status = commit_output(output, err);
        } else {
            discard_output(output);
        }
    }
    if (data != nullptr) std::fclose(data);
    return status;
}

}  // namespace cumavg
