// Times the wave planner on a graph file {"files": [...], "dependencies_map": {...}} and prints
// a JSON report: timings (median, min, max), levels, batches, the files left on cycles or below
// them, the peak memory over the input and a digest of the levels.
//
//   wave_planner_bench GRAPH.json [-r RUNS] [-b BATCH_SIZE] [--phases]
//
// The file is parsed with a SAX handler straight into the planner's input types (map keys keep
// the file's order); parsing is not timed. Texts are copied out of the parser's buffer, not
// moved, so that each gets an allocation of its own size, laid out in file order as a host
// building its lists would. Memory: after the input is built and the parser's
// buffers are freed, unused heap pages are returned (malloc_trim) and the kernel's peak-RSS mark
// is reset (writing 5 to /proc/self/clear_refs); the figure is the final VmHWM minus the VmRSS
// at that point, both from /proc/self/status; the mark is reset again before each timed
// operation, which also gets a figure of its own. Results are freed between runs, outside the
// timer, and the heap's unused pages are returned after each.

#include <malloc.h>
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/wave_planner.hpp"

namespace wp = orvane::wave_planner;

namespace {

struct GraphInput {
  wp::FileList files;
  wp::DependenciesMap dependencies_map;
};

// Accepts exactly {"files": [string...], "dependencies_map": {string: [string...]}}.
class GraphSax : public nlohmann::json_sax<nlohmann::json> {
 public:
  explicit GraphSax(GraphInput& input) : input_(input) {}
  const std::string& error() const { return error_; }

  bool null() override { return fail("unexpected null"); }
  bool boolean(bool) override { return fail("unexpected boolean"); }
  bool number_integer(number_integer_t) override { return fail("unexpected number"); }
  bool number_unsigned(number_unsigned_t) override { return fail("unexpected number"); }
  bool number_float(number_float_t, const string_t&) override { return fail("unexpected number"); }
  bool binary(binary_t&) override { return fail("unexpected binary value"); }
  bool string(string_t& value) override {
    if (state_ == State::kFiles) {
      input_.files.push_back(value);
    } else if (state_ == State::kDependencyList) {
      input_.dependencies_map.back().second.push_back(value);
    } else {
      return fail("unexpected string");
    }
    return true;
  }
  bool start_object(std::size_t) override {
    if (state_ == State::kStart) {
      state_ = State::kTop;
    } else if (state_ == State::kTopValue && top_key_ == "dependencies_map") {
      state_ = State::kMap;
    } else {
      return fail("unexpected object");
    }
    return true;
  }
  bool key(string_t& value) override {
    if (state_ == State::kTop) {
      if (value != "files" && value != "dependencies_map") return fail("unknown key " + value);
      top_key_ = value;
      state_ = State::kTopValue;
    } else if (state_ == State::kMap) {
      input_.dependencies_map.emplace_back(value, std::vector<std::string>{});
      state_ = State::kMapValue;
    } else {
      return fail("unexpected key");
    }
    return true;
  }
  bool end_object() override {
    state_ = state_ == State::kMap ? State::kTop : State::kDone;
    return true;
  }
  bool start_array(std::size_t) override {
    if (state_ == State::kTopValue && top_key_ == "files") {
      state_ = State::kFiles;
    } else if (state_ == State::kMapValue) {
      state_ = State::kDependencyList;
    } else {
      return fail("unexpected array");
    }
    return true;
  }
  bool end_array() override {
    state_ = state_ == State::kFiles ? State::kTop : State::kMap;
    return true;
  }
  bool parse_error(std::size_t position, const std::string&,
                   const nlohmann::detail::exception& error) override {
    return fail("at byte " + std::to_string(position) + ": " + error.what());
  }

 private:
  enum class State { kStart, kTop, kTopValue, kFiles, kMap, kMapValue, kDependencyList, kDone };
  bool fail(const std::string& message) {
    if (error_.empty()) error_ = message;
    return false;
  }

  GraphInput& input_;
  State state_ = State::kStart;
  std::string top_key_;
  std::string error_;
};

GraphInput read_graph(const std::string& path) {
  std::string text;
  {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) throw std::runtime_error("cannot open " + path);
    std::ostringstream buffer;
    buffer << stream.rdbuf();
    text = std::move(buffer).str();
  }
  GraphInput input;
  GraphSax sax(input);
  if (!nlohmann::json::sax_parse(text, &sax)) {
    throw std::runtime_error(path + ": not a graph file: " + sax.error());
  }
  return input;
}

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"), or -1.
long status_kib(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0)
      return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
  }
  return -1;
}

bool reset_peak_rss() {
  std::ofstream clear_refs("/proc/self/clear_refs");
  clear_refs << "5";
  clear_refs.flush();
  return static_cast<bool>(clear_refs);
}

std::string levels_digest(const wp::Levels& levels) {
  const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                        &EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("SHA-256 unavailable");
  }
  for (const auto& level : levels) {
    std::vector<const std::string*> sorted;
    sorted.reserve(level.size());
    for (const auto& file : level) sorted.push_back(&file);
    // std::string compares bytes as unsigned, which for UTF-8 is code point order.
    std::sort(sorted.begin(), sorted.end(), [](auto* a, auto* b) { return *a < *b; });
    for (const std::string* file : sorted) {
      EVP_DigestUpdate(context.get(), file->data(), file->size());
      EVP_DigestUpdate(context.get(), "\n", 1);
    }
    EVP_DigestUpdate(context.get(), "--\n", 3);
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(context.get(), digest, &length);
  std::string hex;
  for (unsigned int i = 0; i < 8 && i < length; ++i) {
    static constexpr char kDigits[] = "0123456789abcdef";
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 15];
  }
  return hex;
}

// Files the sort cannot order: those still depended on by an unplaced file once every
// releasable file is placed. Counted independently of the planner, over its graph.
std::size_t count_unordered(const wp::DependencyGraph& graph) {
  std::vector<std::size_t> dependents(graph.size(), 0);
  for (std::size_t node = 0; node < graph.size(); ++node) {
    graph.for_each_key_dependency(node, [&](std::size_t dep) { ++dependents[dep]; });
  }
  std::vector<std::size_t> ready;
  for (std::size_t node = 0; node < graph.size(); ++node) {
    if (dependents[node] == 0) ready.push_back(node);
  }
  std::size_t placed = 0;
  while (!ready.empty()) {
    const std::size_t node = ready.back();
    ready.pop_back();
    ++placed;
    graph.for_each_key_dependency(node, [&](std::size_t dep) {
      if (--dependents[dep] == 0) ready.push_back(dep);
    });
  }
  return graph.size() - placed;
}

double mib(long kib) {
  return static_cast<double>(static_cast<long long>(kib / 1024.0 * 10 + 0.5)) / 10;
}

// Times `runs` calls of `run`. With `measure_peak` (the peak mark can be reset), also reports
// the peak resident memory of these calls over what was resident before them.
template <class Run>
nlohmann::ordered_json time_runs(int runs, bool measure_peak, const Run& run) {
  long rss_before_kib = 0;
  if (measure_peak) {
    malloc_trim(0);
    reset_peak_rss();
    rss_before_kib = status_kib("VmRSS");
  }
  std::vector<double> seconds;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    auto result = run();
    const auto stop = std::chrono::steady_clock::now();
    seconds.push_back(std::chrono::duration<double>(stop - start).count());
    // Freed outside the timed region; the heap pages it leaves are returned, so that the peak
    // of the next call does not include the free memory of this one.
    result = {};
    malloc_trim(0);
  }
  std::vector<double> sorted = seconds;
  std::sort(sorted.begin(), sorted.end());
  const std::size_t n = sorted.size();
  const double median = n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
  const auto round4 = [](double s) {
    return static_cast<double>(static_cast<long long>(s * 1e4 + 0.5)) / 1e4;
  };
  nlohmann::ordered_json stats = {{"median_s", round4(median)},
                                  {"min_s", round4(sorted.front())},
                                  {"max_s", round4(sorted.back())},
                                  {"runs", n}};
  if (measure_peak) stats["peak_increase_mib"] = mib(status_kib("VmHWM") - rss_before_kib);
  return stats;
}

int run(int argc, char** argv) {
  std::string path;
  int runs = 5;
  std::ptrdiff_t batch_size = 10;
  bool phases = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "-r" || arg == "-b") && i + 1 < argc) {
      const long value = std::strtol(argv[++i], nullptr, 10);
      if (arg == "-r")
        runs = static_cast<int>(std::max(1L, value));
      else
        batch_size = value;
    } else if (arg == "--phases") {
      phases = true;
    } else if (path.empty() && arg[0] != '-') {
      path = arg;
    } else {
      std::cerr << "usage: wave_planner_bench GRAPH.json [-r RUNS] [-b BATCH_SIZE] [--phases]\n";
      return 2;
    }
  }
  if (path.empty()) {
    std::cerr << "usage: wave_planner_bench GRAPH.json [-r RUNS] [-b BATCH_SIZE] [--phases]\n";
    return 2;
  }

  const auto read_start = std::chrono::steady_clock::now();
  const GraphInput input = read_graph(path);
  const double input_s =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - read_start).count();
  std::size_t dependency_entries = 0;
  for (const auto& entry : input.dependencies_map) dependency_entries += entry.second.size();

  malloc_trim(0);
  const bool peak_reset = reset_peak_rss();
  const long rss_input_kib = status_kib("VmRSS");
  const long peak_input_kib = status_kib("VmHWM");

  const bool per_op_rss = peak_reset;
  nlohmann::ordered_json report;
  report["source"] = path;
  report["input_s"] = static_cast<double>(static_cast<long long>(input_s * 1000 + 0.5)) / 1000;
  report["files_entries"] = input.files.size();
  report["map_keys"] = input.dependencies_map.size();
  report["dependency_entries"] = dependency_entries;
  report["batch_size"] = batch_size;

  if (phases) {
    report["build_dependency_graph"] = time_runs(runs, per_op_rss, [&] {
      return wp::build_dependency_graph(input.files, input.dependencies_map);
    });
    const wp::DependencyGraph graph =
        wp::build_dependency_graph(input.files, input.dependencies_map);
    report["topological_sort"] =
        time_runs(runs, per_op_rss, [&] { return wp::topological_sort(graph); });
  }
  report["group_files_by_dependency_level"] = time_runs(runs, per_op_rss, [&] {
    return wp::group_files_by_dependency_level(input.files, input.dependencies_map);
  });
  std::size_t batch_count = 0;
  report["get_parallelizable_batches"] = time_runs(runs, per_op_rss, [&] {
    auto batches = wp::get_parallelizable_batches(input.files, input.dependencies_map, batch_size);
    batch_count = batches.size();
    return batches;
  });
  long peak_end_kib = status_kib("VmHWM");
  if (peak_reset) {
    // The mark was reset before each operation: the overall peak is the largest of theirs.
    for (const char* op : {"build_dependency_graph", "topological_sort",
                           "group_files_by_dependency_level", "get_parallelizable_batches"}) {
      if (report.contains(op)) {
        peak_end_kib =
            std::max(peak_end_kib,
                     rss_input_kib +
                         static_cast<long>(report[op]["peak_increase_mib"].get<double>() * 1024));
      }
    }
  }

  // Untimed checks, after the memory figure.
  const wp::Levels levels = wp::detect_independent_files(input.files, input.dependencies_map);
  std::size_t placed = 0, largest = 0;
  for (const auto& level : levels) {
    placed += level.size();
    largest = std::max(largest, level.size());
  }
  const wp::DependencyGraph graph = wp::build_dependency_graph(input.files, input.dependencies_map);
  std::size_t kept_edges = 0;
  for (std::size_t node = 0; node < graph.size(); ++node) {
    graph.for_each_key_dependency(node, [&](std::size_t) { ++kept_edges; });
  }

  report["distinct_files"] = graph.size();
  report["kept_edges"] = kept_edges;
  report["levels"] = levels.size();
  report["placed_files"] = placed;
  report["largest_level"] = largest;
  report["first_level"] = levels.empty() ? 0 : levels.front().size();
  report["last_level"] = levels.empty() ? 0 : levels.back().size();
  report["remaining_on_cycles_or_below"] = count_unordered(graph);
  report["batches"] = batch_count;
  report["levels_digest"] = levels_digest(levels);
  report["memory_method"] = peak_reset ? "VmHWM after runs - VmRSS after input (peak reset)"
                                       : "VmHWM after runs - VmHWM after input (peak not reset)";
  report["rss_after_input_mib"] = mib(rss_input_kib);
  report["rss_peak_end_mib"] = mib(peak_end_kib);
  report["rss_peak_increase_for_scheduling_mib"] =
      mib(peak_end_kib - (peak_reset ? rss_input_kib : peak_input_kib));
  std::cout << report.dump(1) << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& error) {
    std::cerr << "wave_planner_bench: " << error.what() << "\n";
    return 1;
  }
}
