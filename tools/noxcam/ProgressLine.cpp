#include "ProgressLine.h"

#include <unistd.h>

#include <cstdio>

namespace noxcam {

namespace {
constexpr auto kRefreshPeriod = std::chrono::milliseconds(100);
}

ProgressLine::ProgressLine(bool enabled) : enabled_(enabled), start_(std::chrono::steady_clock::now()) {}

ProgressLine::~ProgressLine() { Finish(); }

bool ProgressLine::ShownOnStdout() { return ::isatty(STDOUT_FILENO) == 1; }

void ProgressLine::Step(const std::string &text) {
    if (!enabled_) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        step_ = text;
        Draw();
    }
    if (!refresher_.joinable()) refresher_ = std::thread([this] { Refresh(); });
}

void ProgressLine::Finish() {
    if (!refresher_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    refresher_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
    std::fputs("\r\033[K", stdout);
    std::fflush(stdout);
}

void ProgressLine::Refresh() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, kRefreshPeriod, [this] { return stopping_; })) Draw();
}

// Called with the mutex held.
void ProgressLine::Draw() {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::printf("\r\033[K%s ... %.1f s", step_.c_str(), seconds);
    std::fflush(stdout);
}

}  // namespace noxcam
