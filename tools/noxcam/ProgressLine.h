#pragma once
// One line on a terminal that shows what a long call is doing and for how long it has run.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace noxcam {

class ProgressLine {
public:
    // Shown only when enabled; ShownOnStdout tells whether stdout is a terminal someone watches.
    explicit ProgressLine(bool enabled);
    ~ProgressLine();
    ProgressLine(const ProgressLine &) = delete;
    ProgressLine &operator=(const ProgressLine &) = delete;

    static bool ShownOnStdout();

    // Shows the step at once, then refreshes its elapsed time until the next step or Finish.
    void Step(const std::string &text);
    // Clears the line, so that later output starts on a clean one; a later Step shows it again.
    void Finish();

private:
    void Refresh();
    void Draw();

    const bool enabled_;
    const std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::string step_;
    bool stopping_ = false;
    std::thread refresher_;
};

}  // namespace noxcam
