// Merges the JSON results of several benchmark programs into one file (one
// context, all benchmarks in one array) and prints a short table.
//
// Usage: bench_report OUT.json IN.json...
//
// Programs run with repetitions report aggregates; of those only the median
// is kept, under the benchmark's own name, so that names stay comparable
// from one version to the next and one busy moment of the machine does not
// decide a figure.
//
// A transfer measured through the library and the same transfer measured on
// the simulator alone carry the same label; for such a pair the library's own
// cost over the wire time is added as the counter library_ratio, unless the
// benchmark measured it itself beside the simulator in the same run. A feature
// read through the exported interface (BM_Get<kind>) and the same read on the
// interpreter (BM_AravisGet<kind>) give the counter layer_ratio, unless the
// benchmark measured it itself in turns with the interpreter's read.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

using nlohmann::json;

namespace {

const std::string kSimulatorPrefix = "BM_SimulatorRegister/";

json ReadJson(const std::string &path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    return json::parse(in);
}

double MicrosecondsPerUnit(const std::string &unit) {
    if (unit == "ns") return 1e-3;
    if (unit == "us") return 1;
    if (unit == "ms") return 1e3;
    if (unit == "s") return 1e6;
    throw std::runtime_error("unknown time unit " + unit);
}

// The calling thread's CPU time: the simulator answers on that thread, so it
// is the work of the transfer, unaffected by other processes on the machine.
double CpuMicroseconds(const json &benchmark) {
    return benchmark.value("cpu_time", 0.0) * MicrosecondsPerUnit(benchmark.value("time_unit", "ns"));
}

bool Failed(const json &benchmark) { return benchmark.value("error_occurred", false); }

// A single run, or the median of repeated runs renamed after the benchmark; nothing for other aggregates.
bool Representative(json &benchmark) {
    if (benchmark.value("run_type", "iteration") != "aggregate") return true;
    if (benchmark.value("aggregate_name", "") != "median") return false;
    benchmark["name"] = benchmark.value("run_name", benchmark.value("name", ""));
    return true;
}

// The simulator's time for each labelled transfer.
std::map<std::string, double> SimulatorTimes(const json &benchmarks) {
    std::map<std::string, double> times;
    for (const json &benchmark : benchmarks) {
        const std::string name = benchmark.value("name", "");
        const std::string label = benchmark.value("label", "");
        if (name.rfind(kSimulatorPrefix, 0) == 0 && !label.empty() && !Failed(benchmark))
            times[label] = CpuMicroseconds(benchmark);
    }
    return times;
}

void AddLibraryRatios(json &benchmarks) {
    const std::map<std::string, double> simulator = SimulatorTimes(benchmarks);
    for (json &benchmark : benchmarks) {
        const std::string name = benchmark.value("name", "");
        const auto found = simulator.find(benchmark.value("label", ""));
        if (found == simulator.end() || name.rfind(kSimulatorPrefix, 0) == 0 || Failed(benchmark) ||
            !benchmark.contains("wire_us") || benchmark.contains("library_ratio"))
            continue;
        benchmark["library_ratio"] = (CpuMicroseconds(benchmark) - found->second) / benchmark["wire_us"].get<double>();
    }
}

void AddLayerRatios(json &benchmarks) {
    const std::string layer = "BM_Get", direct = "BM_AravisGet";
    // Names may carry suffixes such as "/manual_time"; the kind ends at the first "/".
    const auto kind = [](const std::string &name, size_t prefix) { return name.substr(prefix, name.find('/', prefix) - prefix); };
    std::map<std::string, double> directTimes;
    for (const json &benchmark : benchmarks) {
        const std::string name = benchmark.value("name", "");
        if (name.rfind(direct, 0) == 0 && !Failed(benchmark)) directTimes[kind(name, direct.size())] = CpuMicroseconds(benchmark);
    }
    for (json &benchmark : benchmarks) {
        const std::string name = benchmark.value("name", "");
        if (name.rfind(layer, 0) != 0 || Failed(benchmark) || benchmark.contains("layer_ratio")) continue;
        const auto found = directTimes.find(kind(name, layer.size()));
        if (found != directTimes.end() && found->second > 0) benchmark["layer_ratio"] = CpuMicroseconds(benchmark) / found->second;
    }
}

std::string Number(const json &benchmark, const char *key, const char *format) {
    if (!benchmark.contains(key) || !benchmark[key].is_number()) return "";
    char text[32];
    std::snprintf(text, sizeof text, format, benchmark[key].get<double>());
    return text;
}

std::string Time(const json &benchmark, const char *key) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f %s", benchmark.value(key, 0.0), benchmark.value("time_unit", "ns").c_str());
    return text;
}

void PrintTable(const json &benchmarks) {
    std::printf("%-52s %14s %14s %11s %10s %13s  %s\n", "benchmark", "real time", "CPU time", "wire_us", "wire_ratio",
                "library_ratio", "other");
    for (const json &benchmark : benchmarks) {
        const std::string name = benchmark.value("name", "");
        if (Failed(benchmark)) {
            std::printf("%-52s error: %s\n", name.c_str(), benchmark.value("error_message", "").c_str());
            continue;
        }
        std::string other;
        if (benchmark.contains("core_fraction")) other = "core_fraction " + Number(benchmark, "core_fraction", "%.5f");
        if (benchmark.contains("layer_ratio")) other = "layer_ratio " + Number(benchmark, "layer_ratio", "%.3f");
        if (benchmark.contains("per_camera_s"))
            other = "per camera " + Number(benchmark, "per_camera_s", "%.6f") + " s";
        std::printf("%-52s %14s %14s %11s %10s %13s  %s\n", name.c_str(), Time(benchmark, "real_time").c_str(),
                    Time(benchmark, "cpu_time").c_str(),
                    Number(benchmark, "wire_us", "%.3f").c_str(), Number(benchmark, "wire_ratio", "%.4f").c_str(),
                    Number(benchmark, "library_ratio", "%.4f").c_str(), other.c_str());
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::cerr << "usage: " << argv[0] << " OUT.json IN.json...\n";
        return 2;
    }
    try {
        json merged;
        json benchmarks = json::array();
        for (int i = 2; i < argc; ++i) {
            json results = ReadJson(argv[i]);
            if (merged.empty()) merged["context"] = results.value("context", json::object());
            for (json &benchmark : results.value("benchmarks", json::array()))
                if (Representative(benchmark)) benchmarks.push_back(std::move(benchmark));
        }
        AddLibraryRatios(benchmarks);
        AddLayerRatios(benchmarks);
        merged["benchmarks"] = benchmarks;
        std::ofstream out(argv[1]);
        out << merged.dump(2) << '\n';
        if (!out.flush()) throw std::runtime_error(std::string("cannot write ") + argv[1]);
        PrintTable(benchmarks);
    } catch (const std::exception &error) {
        std::cerr << argv[0] << ": " << error.what() << '\n';
        return 1;
    }
    return 0;
}
