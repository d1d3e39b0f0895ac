// The log relay: gives each logger name an identity and a threshold from
// VEXO_LOG, and writes records through spdlog to VEXO_LOG_FILE (appending)
// or to stderr.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <spdlog/logger.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/sinks/stdout_sinks.h>

#include "RelayConfiguration.h"
#include "logging/RelayInterface.h"

namespace {

using vexo::relay::RelayConfiguration;

struct RelayState {
    std::mutex mutex;
    RelayConfiguration configuration;
    std::shared_ptr<spdlog::logger> output;
    std::map<std::string, uint64_t> identities;
    std::vector<std::string> names;  // names[identity - 1]
};

RelayState &State() {
    static RelayState state;
    return state;
}

void ReportOnce(const std::string &message) {
    static std::mutex mutex;
    static std::set<std::string> reported;
    std::lock_guard<std::mutex> lock(mutex);
    if (reported.insert(message).second) std::fprintf(stderr, "shared-log-relay: %s\n", message.c_str());
}

const char *LevelName(uint32_t level) {
    switch (level) {
        case 1: return "trace";
        case 2: return "detail";
        case 3: return "info";
        case 4: return "warning";
        case 5: return "error";
        default: return "level";
    }
}

std::shared_ptr<spdlog::logger> MakeOutput() {
    std::shared_ptr<spdlog::sinks::sink> sink;
    if (const char *file = std::getenv("VEXO_LOG_FILE"); file != nullptr && *file != '\0') {
        try {
            sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(file, false);
        } catch (const std::exception &error) {
            ReportOnce(std::string("cannot open VEXO_LOG_FILE, writing to stderr: ") + error.what());
        }
    }
    if (!sink) sink = std::make_shared<spdlog::sinks::stderr_sink_mt>();
    auto output = std::make_shared<spdlog::logger>("vexo", std::move(sink));
    output->set_pattern("%Y-%m-%d %H:%M:%S.%e %v");
    output->set_level(spdlog::level::trace);
    output->flush_on(spdlog::level::trace);
    return output;
}

void RegisterLogger(const char *name, uint64_t *identity, uint32_t *threshold) {
    RelayState &state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    const std::string key = name != nullptr ? name : "";
    auto [entry, added] = state.identities.emplace(key, state.names.size() + 1);
    if (added) state.names.push_back(key);
    if (identity != nullptr) *identity = entry->second;
    if (threshold != nullptr) *threshold = state.configuration.ThresholdFor(key);
}

void WriteRecord(uint64_t identity, uint32_t level, const char *text, uint32_t, void *) {
    RelayState &state = State();
    std::shared_ptr<spdlog::logger> output;
    std::string name;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        output = state.output;
        if (identity >= 1 && identity <= state.names.size()) name = state.names[identity - 1];
    }
    if (!output) return;
    output->info("[{}] {}: {}", LevelName(level), name, text != nullptr ? text : "");
}

void Attach(void *, RelayDetachNotification, RelayThresholdNotification, RelayRegisterFunction *registerOut,
            RelayWriteFunction *writeOut) {
    RelayState &state = State();
    RelayConfiguration configuration;
    if (const char *text = std::getenv("VEXO_LOG")) configuration = RelayConfiguration::Parse(text);
    for (const std::string &item : configuration.rejectedItems)
        ReportOnce("ignoring VEXO_LOG item '" + item + "' (expected <level> or <logger-prefix>=<level>, level 0 to 7)");
    auto output = MakeOutput();
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        state.configuration = std::move(configuration);
        state.output = std::move(output);
    }
    if (registerOut != nullptr) *registerOut = &RegisterLogger;
    if (writeOut != nullptr) *writeOut = &WriteRecord;
}

void Detach(void *) {
    RelayState &state = State();
    std::shared_ptr<spdlog::logger> output;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        output.swap(state.output);
    }
    if (output) output->flush();
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const RelayDescriptor logging_dispatcher_descriptor = {&Attach,
                                                                                                          &Detach};
