// What the panel benchmark measures with and how it passes figures between its processes:
// the process's own CPU time and memory, percentiles, "key=value" lists, known frames.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace sensor::bench {

long status_kib(const char* key);  // a field of /proc/self/status, in KiB
double percentile(std::vector<double> v, double p);
std::string join(const std::vector<double>& v);
std::vector<double> parse_list(const std::string& s);
QByteArray frames(int count, std::uint32_t seed);

// The measured processes, each run as "panel_bench --child MODE ...".
int child_panel(const QString& port, const QString& log, const QString& variant);
int child_floor(const QString& port);
// The least a panel can do that paints the readings at the display's pace: the lower bound.
// Variants: "" (every cell its own rectangle), "one", "joined", "none" (see SketchPanel::next).
int child_sketch(const QString& port, const QString& variant);
int child_latency(int seconds);
int child_startup(bool demo);

}  // namespace sensor::bench
