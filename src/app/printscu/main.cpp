// corvanel-printscu: sends a film to a DICOM print SCP (a test pattern or DICOM
// images), or C-ECHO requests, from one or more parallel clients, and reports
// each status with its timing. Exit code 0 only when every job succeeded.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "frame/event_log.h"
#include "frame/memory_reuse.h"
#include "frame/stderr_echo.h"
#include "print_job.h"

namespace {

// The largest image a print SCP is asked to take (Corvanel's own limit).
constexpr int64_t kMaxPatternPixels = 100'000'000;

constexpr const char *kUsage = R"(usage: corvanel-printscu [options] HOST PORT [DICOM-FILE...]

Sends one film job to the print SCP at HOST:PORT: a film session, film boxes
whose image boxes take the DICOM files in order (or a test pattern in every
image box when no file is given), N-ACTION and N-DELETE.

Association:
  -aet, --calling TITLE      calling AE title (PRINTSCU)
  -aec, --called TITLE       called AE title (CORVANEL); selects the printing rule
  --timeout SECONDS          network time-out (30)
Film session and film box:
  --format TEXT              image display format (STANDARD\1,1)
  --film-size ID             film size ID (14INX17IN)
  --orientation O            PORTRAIT or LANDSCAPE (PORTRAIT)
  --magnification TYPE       magnification type (not sent by default)
  --copies N                 number of copies (1)
  --priority P               print priority HIGH, MED or LOW (not sent by default)
  --medium TYPE              medium type (PAPER)
  --destination D            film destination (not sent by default)
  --label TEXT               film session label
  --action filmbox|session   N-ACTION on each film box, or once on the film session (filmbox)
Test pattern:
  --pattern grey|colour      grey ramp and checkerboard, or colour bars (grey)
  --bits 8|12|16             bits stored of the grey pattern (12)
  --size COLUMNSxROWS        pattern size (512x512)
Load:
  --repeat N                 jobs per client, one after the other (1)
  --parallel K               clients, each on its own association (1)
  --echo N                   instead of a print job: N C-ECHO requests per association
Output:
  -v, --verbose              every request with its status and time
  -q, --quiet                the summary line only
  --log-level 0|1|2          toolkit log lines on stderr (0: errors and warnings)
)";

[[noreturn]] void Usage(const std::string &error) {
  std::fprintf(stderr, "corvanel-printscu: %s\n\n%s", error.c_str(), kUsage);
  std::exit(2);
}

int Number(const std::string &text, const std::string &option, int low, int high) {
  char *end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < low || value > high)
    Usage(option + " wants a number from " + std::to_string(low) + " to " + std::to_string(high));
  return static_cast<int>(value);
}

struct Options {
  JobSettings job;
  std::vector<std::string> files;
  bool colourPattern = false;
  int bits = 12, columns = 512, rows = 512;
  int repeat = 1, parallel = 1;
  int verbosity = -1; // -1: steps for a single job, job lines for load
  int logLevel = 0;
};

Options Parse(int argc, char **argv) {
  Options options;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc)
        Usage(arg + " wants a value");
      return argv[++i];
    };
    JobSettings &job = options.job;
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (arg == "-aet" || arg == "--calling") {
      job.callingAE = value();
    } else if (arg == "-aec" || arg == "--called") {
      job.calledAE = value();
    } else if (arg == "--timeout") {
      job.timeoutSeconds = Number(value(), arg, 1, 3600);
    } else if (arg == "--format") {
      job.displayFormat = value();
    } else if (arg == "--film-size") {
      job.filmSize = value();
    } else if (arg == "--orientation") {
      job.orientation = value();
      if (job.orientation != "PORTRAIT" && job.orientation != "LANDSCAPE")
        Usage("--orientation is PORTRAIT or LANDSCAPE");
    } else if (arg == "--magnification") {
      job.magnification = value();
    } else if (arg == "--copies") {
      job.copies = std::to_string(Number(value(), arg, 1, 99));
    } else if (arg == "--priority") {
      job.priority = value();
    } else if (arg == "--medium") {
      job.medium = value();
    } else if (arg == "--destination") {
      job.destination = value();
    } else if (arg == "--label") {
      job.label = value();
    } else if (arg == "--action") {
      const std::string action = value();
      if (action != "filmbox" && action != "session")
        Usage("--action is filmbox or session");
      job.actionOnSession = action == "session";
    } else if (arg == "--pattern") {
      const std::string pattern = value();
      if (pattern != "grey" && pattern != "gray" && pattern != "colour" && pattern != "color")
        Usage("--pattern is grey or colour");
      options.colourPattern = pattern == "colour" || pattern == "color";
    } else if (arg == "--bits") {
      options.bits = Number(value(), arg, 8, 16);
      if (options.bits != 8 && options.bits != 12 && options.bits != 16)
        Usage("--bits is 8, 12 or 16");
    } else if (arg == "--size") {
      const std::string size = value();
      const size_t x = size.find('x');
      if (x == std::string::npos)
        Usage("--size is COLUMNSxROWS, for example 512x512");
      options.columns = Number(size.substr(0, x), arg, 1, 65535);
      options.rows = Number(size.substr(x + 1), arg, 1, 65535);
      if (int64_t{options.columns} * options.rows > kMaxPatternPixels)
        Usage("--size is at most 100 megapixels");
    } else if (arg == "--repeat") {
      options.repeat = Number(value(), arg, 1, 1000000);
    } else if (arg == "--parallel") {
      options.parallel = Number(value(), arg, 1, 200);
    } else if (arg == "--echo") {
      job.echoes = Number(value(), arg, 1, 100000000);
    } else if (arg == "-v" || arg == "--verbose") {
      options.verbosity = 2;
    } else if (arg == "-q" || arg == "--quiet") {
      options.verbosity = 0;
    } else if (arg == "--log-level") {
      options.logLevel = Number(value(), arg, 0, 2);
    } else if (arg.size() > 1 && arg[0] == '-') {
      Usage("unknown option " + arg);
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() < 2)
    Usage("HOST and PORT are needed");
  options.job.host = positional[0];
  options.job.port = std::to_string(Number(positional[1], "PORT", 1, 65535));
  options.files.assign(positional.begin() + 2, positional.end());
  if (options.colourPattern && options.bits != 12 && options.bits != 8)
    Usage("the colour pattern has 8 bits");
  if (options.verbosity < 0)
    options.verbosity = options.repeat * options.parallel == 1 ? 2 : 1;
  return options;
}

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty())
    return 0;
  std::sort(values.begin(), values.end());
  const size_t rank = static_cast<size_t>(std::ceil(fraction * values.size()));
  return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

} // namespace

int main(int argc, char **argv) {
  KeepFreedMemoryForReuse();
  Options options = Parse(argc, argv);
  LogLevel = options.logLevel;
  SetLogEchoSink(StderrEchoSink());
  SetLogTarget("/dev/null", "corvanel-printscu", "");

  JobSettings &job = options.job;
  if (options.files.empty()) {
    job.pattern = MakeTestPattern(options.colourPattern, options.colourPattern ? 8 : options.bits,
                                  options.columns, options.rows);
  }
  for (const std::string &file : options.files) {
    ScuImage image;
    std::string error;
    if (!LoadDicomImage(file, image, error)) {
      std::fprintf(stderr, "corvanel-printscu: %s: %s\n", file.c_str(), error.c_str());
      return 1;
    }
    if (!job.images.empty() && image.Colour() != job.images.front().Colour()) {
      std::fprintf(stderr, "corvanel-printscu: %s: grey and colour images cannot share a film\n",
                   file.c_str());
      return 1;
    }
    job.images.push_back(std::move(image));
  }

  std::mutex outputLock;
  std::vector<double> latencies;
  int failed = 0;
  long steps = 0;
  auto client = [&](int clientNumber) {
    for (int n = 1; n <= options.repeat; ++n) {
      const JobResult result = RunJob(job);
      std::lock_guard lock(outputLock);
      latencies.push_back(result.milliseconds);
      steps += static_cast<long>(result.steps.size());
      if (!result.ok)
        ++failed;
      if (options.verbosity >= 2)
        for (const StepResult &step : result.steps)
          std::printf("  %-34s %-6s %9.3f ms\n", step.name.c_str(), StatusText(step.status).c_str(),
                      step.milliseconds);
      if (options.verbosity >= 1 || !result.ok)
        std::printf("job %d of client %d: %s%s, %.3f ms\n", n, clientNumber,
                    result.ok ? "OK" : "FAILED: ", result.error.c_str(), result.milliseconds);
    }
  };
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> clients;
  for (int k = 1; k <= options.parallel; ++k)
    clients.emplace_back(client, k);
  for (std::thread &thread : clients)
    thread.join();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  const size_t jobs = latencies.size();
  std::printf("jobs=%zu failed=%d parallel=%d wall_s=%.3f jobs_per_s=%.2f p50_ms=%.3f "
              "p95_ms=%.3f",
              jobs, failed, options.parallel, seconds, jobs / seconds, Percentile(latencies, 0.50),
              Percentile(latencies, 0.95));
  if (job.echoes > 0)
    std::printf(" echoes_per_s=%.1f", steps / seconds);
  std::printf("\n");
  std::fflush(stdout);
  CloseLog();
  return failed == 0 ? 0 : 1;
}
