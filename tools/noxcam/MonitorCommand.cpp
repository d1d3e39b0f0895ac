// monitor: the board's link events as they happen.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <utility>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>

#include "CommandLine.h"
#include "Output.h"
#include "Session.h"
#include "ToolError.h"
#include "ValueText.h"

namespace noxcam {

namespace {

constexpr uint16_t kLinkLostEvent = 100;

struct ReceivedEvent {
    std::chrono::system_clock::time_point time;
    NoxEvent event;
};

// Events handed over from the board's monitoring thread; a byte on the pipe wakes the printer.
class EventQueue {
public:
    EventQueue() {
        if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) throw ToolError("monitor: creating a pipe", ERR_INTERNAL);
    }
    ~EventQueue() {
        ::close(pipe_[0]);
        ::close(pipe_[1]);
    }
    EventQueue(const EventQueue &) = delete;
    EventQueue &operator=(const EventQueue &) = delete;

    static int32_t Callback(NoxBoardHandle *, NoxCameraHandle *, const NoxEvent *event, void *context) {
        auto *queue = static_cast<EventQueue *>(context);
        {
            std::lock_guard<std::mutex> lock(queue->mutex_);
            queue->events_.push_back({std::chrono::system_clock::now(), *event});
        }
        const char wake = 1;
        // A full pipe already holds a wake-up, so a failed write loses nothing.
        [[maybe_unused]] ssize_t written = ::write(queue->pipe_[1], &wake, 1);
        return ERR_NONE;
    }

    int WakeDescriptor() const { return pipe_[0]; }

    std::deque<ReceivedEvent> Take() {
        char drained[64];
        while (::read(pipe_[0], drained, sizeof drained) > 0) {
        }
        std::lock_guard<std::mutex> lock(mutex_);
        return std::exchange(events_, {});
    }

private:
    int pipe_[2] = {-1, -1};
    std::mutex mutex_;
    std::deque<ReceivedEvent> events_;
};

// Blocks SIGINT and SIGTERM and reads them through a descriptor, so Ctrl-C ends the wait cleanly.
class StopSignals {
public:
    StopSignals() {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set_, &previous_);
        descriptor_ = ::signalfd(-1, &set_, SFD_CLOEXEC | SFD_NONBLOCK);
    }
    ~StopSignals() {
        if (descriptor_ >= 0) ::close(descriptor_);
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;
    int Descriptor() const { return descriptor_; }

private:
    sigset_t set_{}, previous_{};
    int descriptor_ = -1;
};

std::string Timestamp(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    const size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + length, sizeof text - length, ".%03d", static_cast<int>(millis));
    return text;
}

void PrintEvent(const CommonOptions &options, const ReceivedEvent &received) {
    const NoxEvent event = received.event;  // packed: copy the fields out before use
    const uint16_t type = event.type;
    const uint32_t slot = event.slot;
    const std::string name = type == kLinkLostEvent ? "link lost" : "event " + std::to_string(type);
    const std::string time = Timestamp(received.time);
    Emit(options.json, {{"time", time}, {"type", type}, {"event", name}, {"camera", slot}},
         time + "  camera " + std::to_string(slot) + ": " + name + "\n");
}

// Connects every discovered camera's links (the monitor watches connected cameras only) and prints
// events until the time is up, or until SIGINT/SIGTERM when no time is given.
void Monitor(const CommonOptions &options, std::optional<double> seconds) {
    StopSignals stop;  // before the library starts threads, so they inherit the blocked mask
    Session session(options);
    NoxBoardHandle *board = session.Board();
    session.FindCameras();
    session.ConnectAllCameras();
    EventQueue queue;
    Check(Nox_RegisterEventCallback(board, &EventQueue::Callback, &queue), "registering the event callback");
    if (!options.json) {
        const std::string until = seconds ? "for " + FloatText(*seconds) + " s" : "until Ctrl-C";
        std::printf("watching board %u %s\n", options.board, until.c_str());
        std::fflush(stdout);
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = seconds ? Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                       std::chrono::duration<double>(*seconds))
                                  : Clock::time_point::max();
    const auto start = Clock::now();
    size_t events = 0, losses = 0;
    auto print = [&](const ReceivedEvent &event) {
        PrintEvent(options, event);
        ++events;
        losses += event.event.type == kLinkLostEvent;
    };
    bool stopped = false;
    while (!stopped) {
        int timeout = -1;
        if (seconds) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) break;
            timeout = static_cast<int>(std::min<long long>(left, 60'000));
        }
        pollfd descriptors[2] = {{queue.WakeDescriptor(), POLLIN, 0}, {stop.Descriptor(), POLLIN, 0}};
        const int ready = ::poll(descriptors, stop.Descriptor() >= 0 ? 2 : 1, timeout);
        if (ready < 0 && errno != EINTR) break;
        stopped = descriptors[1].revents & POLLIN;
        for (const ReceivedEvent &event : queue.Take()) print(event);
    }
    Nox_RegisterEventCallback(board, nullptr, nullptr);
    for (const ReceivedEvent &event : queue.Take()) print(event);
    const double watched = std::chrono::duration<double>(Clock::now() - start).count();
    const std::string ended = stopped ? "stopped" : "time up";
    Emit(options.json, {{"summary", {{"board", options.board}, {"seconds", watched}, {"events", events},
                                     {"linkLost", losses}, {"ended", ended}}}},
         "watched board " + std::to_string(options.board) + " for " + FloatText(std::round(watched * 10) / 10) +
             " s (" + ended + "): " + std::to_string(events) + (events == 1 ? " event" : " events") + ", " +
             std::to_string(losses) + " link lost\n");
}

}  // namespace

void AddMonitorCommand(CommandTable &table, CLI::App &app, const CommonOptions &options) {
    auto seconds = std::make_shared<std::optional<double>>();
    table.Add(app, "monitor", "Connect the cameras and print each link event with a timestamp",
              [&options, seconds] { Monitor(options, *seconds); })
        ->add_option("--seconds", *seconds, "How long to watch (default: until Ctrl-C)")
        ->check(CLI::Range(0.0, 1e7));
}

}  // namespace noxcam
