// record.cpp: record mode: the recording's life, the progress line, and the
// ffmpeg sink (raw frames and PCM through two pipes into the encoder).
#include "platform/glide/record.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/glide/context.h"
#include "platform/glide/yuv.h"
#include "platform/record_clock.h"

extern char **environ;

namespace glide {

namespace {

// Feeds one pipe from a queue on its own thread. A bounded queue makes the
// producer wait for the encoder; an unbounded one never blocks (the audio,
// which is pushed under the clock's lock). After a write error the rest is
// dropped and the error kept for finish().
class PipeFeeder {
public:
    PipeFeeder(int fd, size_t maxQueuedBytes) : fd_(fd), maxBytes_(maxQueuedBytes) {
        thread_ = std::thread([this] { run(); });
    }
    ~PipeFeeder() { close(); }

    void push(const uint8_t *data, size_t bytes) {
        pushFilled(bytes, [&](uint8_t *out) { std::memcpy(out, data, bytes); });
    }

    // Queues `bytes` bytes written by fill(out), called outside the lock.
    template <typename Fill>
    void pushFilled(size_t bytes, Fill fill) {
        std::vector<uint8_t> block;
        {
            std::unique_lock<std::mutex> lock(m_);
            if (maxBytes_) spaceCv_.wait(lock, [&] { return queuedBytes_ < maxBytes_ || failed_; });
            if (failed_ || closed_) return;
            // Blocks written before are used again: a frame is megabytes,
            // and a fresh allocation costs page faults every frame.
            if (!spare_.empty()) {
                block = std::move(spare_.back());
                spare_.pop_back();
            }
        }
        block.resize(bytes);
        if (bytes) fill(block.data());
        std::lock_guard<std::mutex> lock(m_);
        if (failed_ || closed_) return;
        queue_.push_back(std::move(block));
        queuedBytes_ += bytes;
        dataCv_.notify_one();
    }

    // Writes what is queued, closes the pipe; the error, if any.
    std::string close() {
        {
            std::lock_guard<std::mutex> lock(m_);
            closed_ = true;
            dataCv_.notify_one();
        }
        if (thread_.joinable()) thread_.join();
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        return error_;
    }

private:
    void run() {
        // A closed encoder gives EPIPE here rather than a signal to the process.
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        for (;;) {
            std::vector<uint8_t> block;
            {
                std::unique_lock<std::mutex> lock(m_);
                dataCv_.wait(lock, [&] { return !queue_.empty() || closed_; });
                if (queue_.empty()) return;
                block = std::move(queue_.front());
                queue_.pop_front();
            }
            const std::string err = writeAll(block);
            std::lock_guard<std::mutex> lock(m_);
            queuedBytes_ -= block.size();
            if (spare_.size() < 8) spare_.push_back(std::move(block));
            if (!err.empty() && !failed_) {
                failed_ = true;
                error_ = err;
                queue_.clear();
                queuedBytes_ = 0;
            }
            spaceCv_.notify_all();
        }
    }

    std::string writeAll(const std::vector<uint8_t> &block) {
        size_t done = 0;
        while (done < block.size()) {
            const ssize_t n = ::write(fd_, block.data() + done, block.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return std::string("the encoder stopped reading: ") + std::strerror(errno);
            done += static_cast<size_t>(n);
        }
        return {};
    }

    int fd_;
    size_t maxBytes_;
    std::mutex m_;
    std::condition_variable dataCv_, spaceCv_;
    std::deque<std::vector<uint8_t>> queue_;
    std::vector<std::vector<uint8_t>> spare_;
    size_t queuedBytes_ = 0;
    bool closed_ = false, failed_ = false;
    std::string error_;
    std::thread thread_;
};

class FfmpegSink final : public RecordSink {
public:
    FfmpegSink(pid_t pid, int videoFd, int audioFd, size_t frameBytes)
        : pid_(pid), video_(videoFd, 4 * frameBytes), audio_(audioFd, 0) {}
    ~FfmpegSink() override {
        std::string err;
        finish(err);
    }

    void video(const uint32_t *rgb, int width, int height) override {
        video_.pushFilled(i420Bytes(width, height), [&](uint8_t *out) { rgbToI420(rgb, width, height, out); });
    }
    void audio(const uint8_t *pcm, size_t bytes) override { audio_.push(pcm, bytes); }

    bool finish(std::string &err) override {
        if (pid_ < 0) return true;
        std::string videoErr = video_.close();
        std::string audioErr = audio_.close();
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            err = WIFEXITED(status) ? "the encoder failed with exit status " + std::to_string(WEXITSTATUS(status))
                                    : "the encoder was killed by signal " + std::to_string(WTERMSIG(status));
            return false;
        }
        err = !videoErr.empty() ? videoErr : audioErr;
        return err.empty();
    }

private:
    pid_t pid_;
    PipeFeeder video_, audio_;
};

// A descriptor copied above the numbers the child's descriptors are moved to.
int highCopy(int fd) {
    const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 10);
    ::close(fd);
    return copy;
}

struct Recording {
    std::unique_ptr<RecordSink> sink;
    std::string output;
    std::chrono::steady_clock::time_point start, lastProgress;
    uint64_t expected = 0;
    uint64_t frames = 0;
    FrameHook previousHook = nullptr;
    void *previousUser = nullptr;
    SwapHook previousSwapHook = nullptr;
    void *previousSwapUser = nullptr;
};

Recording *active = nullptr;  // deliberately not a static object: see recordEnd
std::unique_ptr<RecordSink> nextSink;

double secondsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

void audioToSink(const uint8_t *pcm, size_t bytes, void *user) {
    static_cast<RecordSink *>(user)->audio(pcm, bytes);
}

// A frame is shown: its pictures go to the encoder.
void onFrame(const uint32_t *rgb, int width, int height, uint64_t frameIndex, void *user) {
    auto *r = static_cast<Recording *>(user);
    if (r->previousHook) r->previousHook(rgb, width, height, frameIndex, r->previousUser);
    r->sink->video(rgb, width, height);
}

// A frame is swapped: the clock moves on by its 1/60 s, and the music with
// it, while the frame is drawn; the program reads the music's sync values
// after the swap returns, as it would after a paced swap.
void onSwap(uint64_t frameIndex, void *user) {
    auto *r = static_cast<Recording *>(user);
    if (r->previousSwapHook) r->previousSwapHook(frameIndex, r->previousSwapUser);
    recording::virtualClock().advance();
    ++r->frames;
    const auto now = std::chrono::steady_clock::now();
    if (now - r->lastProgress >= std::chrono::milliseconds(250)) {
        r->lastProgress = now;
        std::fprintf(stderr, "\r%s ", progressLine(r->frames, r->expected, secondsSince(r->start)).c_str());
        std::fflush(stderr);
    }
}

std::string clockText(double seconds) {
    const long s = std::lround(std::max(0.0, seconds));
    char buf[32];
    std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

uint64_t expectedFrames() {
    const char *v = std::getenv("Q5_RECORD_FRAMES");
    if (!v || !*v) return 0;
    char *end = nullptr;
    const unsigned long long n = std::strtoull(v, &end, 10);
    return end && *end == 0 ? n : 0;
}

}  // namespace

std::vector<std::string> ffmpegArguments(const std::string &program, const std::string &output, int width,
                                         int height, const std::string &preset) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    return {program, "-hide_banner", "-nostdin", "-loglevel", "error", "-y",
            // Input 0: the frames as shown, already in the encoder's I420.
            // Input 1: the sound. Both are described in full, so the encoder
            // must not read ahead to probe them: seconds of probing on one
            // pipe would wait for data that comes only once the other pipe
            // has been read.
            "-f", "rawvideo", "-pix_fmt", "yuv420p", "-video_size", size, "-framerate",
            std::to_string(recording::kVideoRate), "-probesize", "32", "-analyzeduration", "0",
            "-thread_queue_size", "8", "-i", "pipe:3",
            "-f", "s16le", "-ar", std::to_string(recording::kAudioRate), "-ac", "2", "-probesize", "32",
            "-analyzeduration", "0", "-thread_queue_size", "1024", "-i", "pipe:4",
            // output: H.264 and AAC in MP4, without version strings in the
            // file. The colours are marked BT.601 studio range, as converted:
            // unmarked, players take pictures 720 rows and taller for BT.709.
            "-map", "0:v", "-map", "1:a", "-c:v", "libx264", "-preset", preset, "-crf", "18", "-pix_fmt",
            "yuv420p", "-color_range", "tv", "-colorspace", "smpte170m", "-color_primaries", "smpte170m",
            "-color_trc", "smpte170m", "-c:a", "aac", "-b:a", "192k", "-fflags", "+bitexact", "-flags:v", "+bitexact", "-flags:a",
            "+bitexact", "-movflags", "+faststart", output};
}

std::unique_ptr<RecordSink> openFfmpegSink(const std::string &program, const std::string &output, int width,
                                           int height, const std::string &preset, std::string &err) {
    int videoPipe[2], audioPipe[2];
    if (pipe2(videoPipe, O_CLOEXEC) != 0) {
        err = std::string("pipe: ") + std::strerror(errno);
        return nullptr;
    }
    if (pipe2(audioPipe, O_CLOEXEC) != 0) {
        err = std::string("pipe: ") + std::strerror(errno);
        ::close(videoPipe[0]);
        ::close(videoPipe[1]);
        return nullptr;
    }
    // Room for a whole frame or so in the pipe lets the encoder read while
    // the next frame is drawn (a request the system may refuse).
    fcntl(videoPipe[1], F_SETPIPE_SZ, 1 << 20);
    const int videoRead = highCopy(videoPipe[0]);
    const int audioRead = highCopy(audioPipe[0]);

    const std::vector<std::string> args = ffmpegArguments(program, output, width, height, preset);
    std::vector<char *> argv;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, videoRead, 3);
    posix_spawn_file_actions_adddup2(&actions, audioRead, 4);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(videoRead);
    ::close(audioRead);
    if (rc != 0) {
        err = program + ": " + std::strerror(rc);
        ::close(videoPipe[1]);
        ::close(audioPipe[1]);
        return nullptr;
    }
    return std::make_unique<FfmpegSink>(pid, videoPipe[1], audioPipe[1], i420Bytes(width, height));
}

void setRecordSink(std::unique_ptr<RecordSink> sink) { nextSink = std::move(sink); }

bool recording() { return active != nullptr; }

bool recordBegin(int width, int height) {
    const char *target = recording::recordTarget();
    if (!target) return false;
    if (active) recordEnd();
    auto r = std::make_unique<Recording>();
    r->output = target;
    if (nextSink) {
        r->sink = std::move(nextSink);
    } else {
        const char *program = std::getenv("Q5_FFMPEG");
        const char *preset = std::getenv("Q5_RECORD_PRESET");
        std::string err;
        // Above 640x480 the encoder's fastest preset leaves the two cores to
        // the drawing; the files are larger.
        const char *defaultPreset = width * height > 640 * 480 ? "ultrafast" : "veryfast";
        r->sink = openFfmpegSink(program && *program ? program : "ffmpeg", target, width, height,
                                 preset && *preset ? preset : defaultPreset, err);
        if (!r->sink) fatal("record: cannot start the encoder: " + err);
    }
    r->expected = expectedFrames();
    r->start = r->lastProgress = std::chrono::steady_clock::now();
    Context &c = ctx();
    r->previousHook = c.frameHook;
    r->previousUser = c.frameUser;
    r->previousSwapHook = c.swapHook;
    r->previousSwapUser = c.swapUser;
    recording::VirtualClock &clock = recording::virtualClock();
    clock.begin();
    clock.setAudioConsumer(audioToSink, r->sink.get());
    active = r.release();
    setFrameHook(onFrame, active);
    setSwapHook(onSwap, active);
    return true;
}

void recordEnd() {
    if (!active) return;
    std::unique_ptr<Recording> r(active);
    active = nullptr;
    setFrameHook(r->previousHook, r->previousUser);
    setSwapHook(r->previousSwapHook, r->previousSwapUser);
    // After the last frame: release the sound output, drop what lies beyond.
    recording::virtualClock().end();
    const double elapsed = secondsSince(r->start);
    std::string err;
    const bool ok = r->sink->finish(err);
    std::fprintf(stderr, "\r%s\n", progressLine(r->frames, 0, elapsed).c_str());
    if (ok) {
        std::fprintf(stderr, "record: %s: %llu frames, %.3f s\n", r->output.c_str(),
                     static_cast<unsigned long long>(r->frames), double(r->frames) / recording::kVideoRate);
    } else {
        std::fprintf(stderr, "record: %s: %s\n", r->output.c_str(), err.c_str());
    }
}

std::string progressLine(uint64_t frames, uint64_t expected, double elapsedSeconds) {
    const double shown = double(frames) / recording::kVideoRate;
    const double speed = elapsedSeconds > 0 ? shown / elapsedSeconds : 0.0;
    char buf[160];
    int n = std::snprintf(buf, sizeof buf, "record: %llu frames (%s)", static_cast<unsigned long long>(frames),
                          clockText(shown).c_str());
    if (expected > 0) {
        const double share = std::min(1.0, double(frames) / double(expected));
        n += std::snprintf(buf + n, sizeof buf - size_t(n), " %3.0f%%", share * 100.0);
    }
    n += std::snprintf(buf + n, sizeof buf - size_t(n), ", elapsed %s", clockText(elapsedSeconds).c_str());
    if (expected > 0 && frames > 0) {
        const double left = frames < expected ? double(expected - frames) * elapsedSeconds / double(frames) : 0.0;
        n += std::snprintf(buf + n, sizeof buf - size_t(n), ", remaining %s", clockText(left).c_str());
    }
    std::snprintf(buf + n, sizeof buf - size_t(n), ", %.2fx real time", speed);
    return buf;
}

}  // namespace glide
