// Scans a C/C++ tree (by default /usr/include) with the project dependency analyzer and
// compares the time with reading the same bytes once; then times the impact report of 10 000
// bugs spread over the scanned files.
//
//   dependency_analyzer_bench [ROOT] [REPETITIONS] [SEARCH_DIRECTORY...]
//
// Prints medians over REPETITIONS runs after one warm-up run.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/project_dependency_analyzer.hpp"
#include "host/project_files.hpp"
#include "host/source_languages.hpp"
#include "services/ripple_tracker.hpp"
#include "text/read_text.hpp"

namespace {

using Clock = std::chrono::steady_clock;

// Wall and processor time of one run, in seconds.
struct Sample {
  double wall = 0;
  double cpu = 0;
};

double cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

Sample time_once(const std::function<void()>& run) {
  const auto wall_start = Clock::now();
  const double cpu_start = cpu_seconds();
  run();
  return {std::chrono::duration<double>(Clock::now() - wall_start).count(),
          cpu_seconds() - cpu_start};
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Series {
  std::vector<double> wall;
  std::vector<double> cpu;
  void add(const Sample& sample) {
    wall.push_back(sample.wall);
    cpu.push_back(sample.cpu);
  }
};

void print(const char* what, const Series& series) {
  std::printf(
      "%-40s median wall %8.1f ms (min %.1f, max %.1f), processor %8.1f ms\n", what,
      median(series.wall) * 1e3, *std::min_element(series.wall.begin(), series.wall.end()) * 1e3,
      *std::max_element(series.wall.begin(), series.wall.end()) * 1e3, median(series.cpu) * 1e3);
}

// Lists the tree and reads every byte of the files that `keep` accepts, once.
std::size_t read_files(const std::string& root,
                       const std::function<bool(const std::string&)>& keep) {
  const orvane::ProjectFiles listing = orvane::ProjectFiles::list(root, {});
  std::size_t bytes = 0;
  for (const std::string& file : listing.files()) {
    if (!keep(file)) continue;
    try {
      bytes += orvane::text::read_file_bytes(file).size();
    } catch (const std::exception&) {
    }
  }
  return bytes;
}

std::vector<orvane::FileAnalysis> analyses_over(const std::vector<std::string>& files,
                                                std::size_t bug_count) {
  std::vector<orvane::FileAnalysis> analyses;
  const std::size_t stride = std::max<std::size_t>(1, files.size() / bug_count);
  for (std::size_t i = 0; analyses.size() < bug_count; i += stride) {
    orvane::FileAnalysis analysis;
    analysis.file_path = files[i % files.size()];
    const std::string n = std::to_string(analyses.size());
    switch (analyses.size() % 3) {
      case 0:
        analysis.risks = {"Risque élevé de dépassement " + n};
        break;
      case 1:
        analysis.inconsistencies = {"Import introuvable " + n};
        break;
      default:
        analysis.security_issues = {
            orvane::SecurityIssue{static_cast<int>(i), "Entrée non validée " + n, "low", ""}};
        break;
    }
    analyses.push_back(std::move(analysis));
  }
  return analyses;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string root = argc > 1 ? argv[1] : "/usr/include";
  const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  orvane::ProjectDependencyOptions options;
  options.root = root;
  for (int i = 3; i < argc; ++i) options.search_directories.emplace_back(argv[i]);

  auto analyzer = std::make_shared<orvane::ProjectDependencyAnalyzer>(options);
  orvane::ScanSummary summary;
  std::size_t all_bytes = 0;
  std::size_t source_bytes = 0;
  const auto read_all = [&] {
    all_bytes = read_files(root, [](const std::string&) { return true; });
  };
  const auto read_sources = [&] {
    source_bytes = read_files(root, [](const std::string& file) {
      return orvane::source_languages::syntax_of_path(file) !=
             orvane::source_languages::ImportSyntax::none;
    });
  };
  const auto scan = [&] { summary = analyzer->scan_project(); };

  // The three runs alternate, so that a change in the machine's load hits them alike; the
  // ratios are taken run by run.
  read_all();
  read_sources();
  scan();
  Series all_series, source_series, scan_series;
  std::vector<double> ratio_all, ratio_sources;
  for (int i = 0; i < repetitions; ++i) {
    all_series.add(time_once(read_all));
    source_series.add(time_once(read_sources));
    scan_series.add(time_once(scan));
    ratio_all.push_back(scan_series.wall.back() / all_series.wall.back());
    ratio_sources.push_back(scan_series.wall.back() / source_series.wall.back());
  }

  std::size_t edges = 0;
  for (const auto& [file, dependencies] : analyzer->dependencies_map())
    edges += dependencies.size();

  std::printf("root %s, %zu search directories, %d repetitions\n", root.c_str(),
              options.search_directories.size(), repetitions);
  std::printf("files listed %zu (%.1f MB), source files scanned %zu (%.1f MB), unreadable %zu\n",
              summary.files_listed, all_bytes / 1e6, summary.source_files, summary.bytes_read / 1e6,
              summary.unreadable_files);
  std::printf("internal includes %zu, unresolved %zu, graph edges %zu\n", summary.imports,
              summary.unresolved, edges);
  print("walk + read every file once", all_series);
  print("walk + read the source files once", source_series);
  print("scan + graph building", scan_series);
  std::printf(
      "scan: %.0f files/s; median ratio to reading every file %.2f, to reading the "
      "source files %.2f\n",
      summary.source_files / median(scan_series.wall), median(ratio_all), median(ratio_sources));

  constexpr std::size_t kBugs = 10'000;
  std::size_t impacted = 0;
  Series report_series;
  for (int i = 0; i < repetitions + 1; ++i) {
    orvane::RippleTracker tracker(analyzer);
    std::vector<orvane::FileAnalysis> analyses = analyses_over(analyzer->files(), kBugs);
    const Sample sample = time_once([&] { tracker.generate_impact_report(analyses); });
    if (i > 0) report_series.add(sample);  // the first run warms up
    impacted = 0;
    for (const orvane::BugPtr& bug : tracker.get_all_bugs()) impacted += bug->impacted_files.size();
  }
  print("generate_impact_report, 10 000 bugs", report_series);
  std::printf("%-40s %zu impacted files in all (max depth 3)\n", "", impacted);
  return 0;
}
