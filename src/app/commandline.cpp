// Parsing the command line by position, with a warning for every argument left unused.
#include "commandline.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>

namespace {

// Numbers are read as "%ld", "%d" and "%lf" read them: leading blanks, a sign, then digits, and
// whatever follows is left unread. A value that does not fit, or is not finite, does not
// convert and leaves the variable as it was (sscanf's behaviour there is undefined).
//
// How much of its word a conversion took: nothing, the whole word (trailing blanks aside), or
// only its start ("%d" reads "2.5" as 2 and "0x10" as 0), which the user is told about.
enum class Taken { Nothing, Whole, Start };

Taken takenUpTo(const char* text, const char* end) {
    if (end == text) return Taken::Nothing;
    while (isspace(static_cast<unsigned char>(*end))) end++;
    return *end ? Taken::Start : Taken::Whole;
}

Taken parseLong(const char* text, long* value) {
    char* end;
    errno = 0;
    const long v = strtol(text, &end, 10);
    if (end == text || errno == ERANGE) return Taken::Nothing;
    *value = v;
    return takenUpTo(text, end);
}

Taken parseInt(const char* text, int* value) {
    long v = 0;
    const Taken taken = parseLong(text, &v);
    if (taken == Taken::Nothing || v < INT_MIN || v > INT_MAX) return Taken::Nothing;
    *value = static_cast<int>(v);
    return taken;
}

Taken parseDouble(const char* text, double* value) {
    char* end;
    const double v = strtod(text, &end);
    if (end == text || !std::isfinite(v)) return Taken::Nothing;
    *value = v;
    return takenUpTo(text, end);
}

// A number as the warnings show what was read: the shortest text that reads back the same.
std::string shown(double v) {
    char buf[40];
    for (int digits = 6; digits <= 17; digits++) {
        snprintf(buf, sizeof buf, "%.*g", digits, v);
        if (strtod(buf, nullptr) == v) break;
    }
    return buf;
}

class Parser {
public:
    Parser(int argc, char** argv) : argc(argc), argv(argv), used(static_cast<size_t>(argc), false) {}

    CommandLine parse() {
        cl.argc = argc;
        cl.argv = argv;
        cl.simuCfgFileNames.push_back(argv[1]);
        take(1, 1);
        if (argc > 3) leadingOptions();
        statsAndBudget();
        visualOptions();
        actionProbabilities();
        warnUnused();
        return cl;
    }

private:
    bool is(int i, const char* word) const { return i < argc && strcmp(argv[i], word) == 0; }
    void take(int first, int count) {
        for (int i = first; i < first + count && i < argc; i++) used[i] = true;
    }
    void warn(const std::string& text) { cl.warnings.push_back(text); }
    std::string quoted(int i) const { return std::string("\"") + argv[i] + "\""; }

    void leadingOptions() {
        if (is(2, "--num-runs")) {
            take(2, 2);
            numRuns(3);
            argi = 4;
            // After --num-runs the other files are looked at only when both words of --extra-cfg follow.
            if (argc <= 5) return;
        }
        if (is(argi, "--extra-cfg")) {
            take(argi, 2);
            cl.simuCfgFileNames.push_back(argv[argi + 1]);
            argi += 2;
        }
        if (argc > argi + 5 && is(argi, "--compare-strategies")) compareStrategies();
    }

    // N above 0 replaces the configured runs; anything else leaves them, with a warning.
    void numRuns(int i) {
        const std::string typed = "--num-runs " + quoted(i), kept = ": the configured nRuns is used";
        const Taken taken = parseInt(argv[i], &cl.nRunsOverride);
        if (taken == Taken::Nothing)
            warn(typed + " is not a whole number" + kept);
        else if (taken == Taken::Start)
            warn(typed + " is read as " + std::to_string(cl.nRunsOverride) + (cl.nRunsOverride > 0 ? "" : kept));
        else if (cl.nRunsOverride <= 0)
            warn(typed + " is not above 0" + kept);
    }

    void compareStrategies() {
        take(argi, 6);
        cl.comparedStrategyNames.push_back(argv[argi + 1]);
        cl.simuCfgFileNames.push_back(argv[argi + 2]);
        cl.comparedStrategyNames.push_back(argv[argi + 3]);
        if (strcmp(argv[argi + 4], "0") != 0) {
            cl.simuCfgFileNames.push_back(argv[argi + 4]);
            cl.comparedStrategyNames.push_back(argv[argi + 5]);
        }
        argi += 6;
    }

    void statsAndBudget() {
        if (is(argi, "--print-stats")) {
            take(argi, 1);
            cl.fitnessStatsPrinted = true;
            argi += 1;
        }
        if (argc > argi + 1 && is(argi, "--step-evals")) {
            take(argi, 2);
            stepEvals(argi + 1);
            argi += 2;
        }
    }

    // X above 0 is the budget; anything else leaves none, with a warning.
    void stepEvals(int i) {
        const std::string typed = "--step-evals " + quoted(i), none = ": no evaluation budget per step";
        const Taken taken = parseDouble(argv[i], &cl.evalsPerStepLimit);
        if (taken == Taken::Nothing)
            warn(typed + " is not a finite number" + none);
        else if (taken == Taken::Start)
            warn(typed + " is read as " + shown(cl.evalsPerStepLimit) + (cl.evalsPerStepLimit > 0 ? "" : none));
        else if (cl.evalsPerStepLimit <= 0)
            warn(typed + " is not above 0" + none);
    }

    void visualOptions() {
        if (is(argi, "--visual-rect")) {
            // The position stays on the switch: a following --print-action-probs is not recognised.
            take(argi, 1);
            cl.visual = CommandLine::Visual::Rect;
        } else if (is(argi, "--visual-spherical")) {
            take(argi, 1);
            cl.visual = CommandLine::Visual::Spherical;
            if (argi + 1 >= argc) {
                argi += 1;
                return;
            }
            followOrPoint(argi + 1);
            argi += 2;
            if (argi < argc) startSeed(argi);
        }
    }

    void followOrPoint(int i) {
        take(i, 1);
        static const struct {
            const char* word;
            CommandLine::Follow mode;
        } switches[] = {{"--follow", CommandLine::Follow::FixedAgent},
                        {"--follow2", CommandLine::Follow::MovingAgent},
                        {"--follow3", CommandLine::Follow::FixedAgentSearchStart}};
        for (const auto& s : switches) {
            if (is(i, s.word)) {
                cl.followAgent = true;
                cl.followMode = s.mode;
                return;
            }
        }
        const Taken taken = parseLong(argv[i], &cl.startingPoint);
        if (taken == Taken::Nothing)
            warn(quoted(i) +
                 " after --visual-spherical is neither a follow switch nor a point number: the view "
                 "starts at point 0");
        else if (taken == Taken::Start)
            warn("POINT " + quoted(i) + " is read as " + std::to_string(cl.startingPoint));
    }

    // The word at the position is parsed as SEED and may still be the switch of the next step.
    void startSeed(int i) {
        long seed = 0;
        const Taken taken = parseLong(argv[i], &seed);
        if (taken == Taken::Nothing) {
            seedWarning = "SEED " + quoted(i) + " is not a whole number: the configured startseed is used";
        } else if (seed > INT_MAX || seed < INT_MIN) {
            seedWarning = "SEED " + quoted(i) + " does not fit an int: the configured startseed is used";
        } else {
            cl.startSeed = static_cast<int>(seed);
            if (taken == Taken::Start) warn("SEED " + quoted(i) + " is read as " + std::to_string(seed));
            if (seed < 0) warn("SEED " + quoted(i) + " is below 0: the configured startseed is used");
            if (seed > 65535)
                warn("SEED " + quoted(i) + " acts as " + std::to_string(seed & 0xffff) +
                     ": only the low 16 bits of a seed are used");
        }
        seedAt = i;
    }

    void actionProbabilities() {
        if (!(argc > argi + 3 && is(argi, "--print-action-probs"))) {
            if (seedAt >= 0) {
                used[seedAt] = true;
                if (!seedWarning.empty()) warn(seedWarning);
            }
            return;
        }
        cl.actionProbs = true;
        take(argi, 3);
        agentOrOutput(argi + 1, "AGENT", &cl.agentId);
        agentOrOutput(argi + 2, "OUTPUT", &cl.outputId);
        for (int i = argi + 3; i < argc; i++) {
            double v;
            const Taken taken = parseDouble(argv[i], &v);
            if (taken == Taken::Nothing) break;
            take(i, 1);
            cl.stateInputs.push_back(v);
            if (taken == Taken::Start)
                warn("V" + std::to_string(cl.stateInputs.size()) + " " + quoted(i) + " is read as " + shown(v));
        }
    }

    // AGENT and OUTPUT stay -1 unless a whole number is given.
    void agentOrOutput(int i, const char* label, int* value) {
        const std::string typed = label + (" " + quoted(i));
        const Taken taken = parseInt(argv[i], value);
        if (taken == Taken::Nothing) warn(typed + " is not a whole number: -1 is used");
        if (taken == Taken::Start) warn(typed + " is read as " + std::to_string(*value));
    }

    void warnUnused() {
        for (int i = 1; i < argc; i++)
            if (!used[i])
                warn("ignored argument " + quoted(i) +
                     " (options are recognised only in the documented order; see --help)");
    }

    int argc;
    char** argv;
    std::vector<bool> used;
    int argi = 2;
    int seedAt = -1;
    std::string seedWarning;
    CommandLine cl;
};

constexpr unsigned long long kMaxThreads = 1024;

// Digits only, as a whole number that fits.
bool wholeNumber(const std::string& text, unsigned long long* value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    *value = strtoull(text.c_str(), nullptr, 10);
    return errno == 0;
}

// Sets one result option from its value; says what is wrong with the value, or "".
std::string setResultOption(CommandLine& cl, const std::string& option, const char* value) {
    const bool report = option == "--report";
    const bool every = option == "--agents-every";
    const bool threads = option == "--threads";
    const bool only = option == "--only-runs";
    if (!value)
        return option + (report    ? " needs json, csv or plain"
                         : every   ? " needs a whole number of steps"
                         : threads ? " needs a number of threads (0: one per core)"
                         : only    ? " needs a range of runs A-B"
                                   : " needs a file name");
    const std::string v = value;
    if (threads) {
        unsigned long long n = 0;
        if (!wholeNumber(v, &n) || n > kMaxThreads)
            return "--threads needs a whole number of threads from 0 (one per core) to " + std::to_string(kMaxThreads) +
                   ", not \"" + v + "\"";
        cl.threads = (unsigned int)n;
    } else if (only) {
        const size_t dash = v.find('-');
        unsigned long long a = 0, b = 0;
        if (dash == std::string::npos || !wholeNumber(v.substr(0, dash), &a) || !wholeNumber(v.substr(dash + 1), &b) ||
            a > b || b >= UINT32_MAX)
            return "--only-runs needs a range of runs A-B (from 0, A at most B), not \"" + v + "\"";
        cl.onlyRuns = true;
        cl.onlyFirst = (unsigned int)a;
        cl.onlyLast = (unsigned int)b;
    } else if (option == "--series") {
        cl.seriesFile = v;
    } else if (option == "--agents") {
        cl.agentsFile = v;
    } else if (every) {
        char* end = nullptr;
        errno = 0;
        const unsigned long long k = v.empty() || v[0] == '-' ? 0 : strtoull(v.c_str(), &end, 10);
        if (k < 1 || errno != 0 || *end != '\0' || k > UINT32_MAX)
            return "--agents-every needs a whole number of steps from 1 to " + std::to_string(UINT32_MAX) + ", not \"" +
                   v + "\"";
        cl.agentsEvery = (unsigned int)k;
    } else if (option == "--dump-config") {
        cl.dumpConfigFile = v;
    } else if (v == "json" || v == "csv" || v == "plain") {
        cl.report = v == "json"  ? CommandLine::Report::Json
                    : v == "csv" ? CommandLine::Report::Csv
                                 : CommandLine::Report::Plain;
    } else {
        return "--report needs json, csv or plain, not \"" + v + "\"";
    }
    return "";
}

// Takes the result options and their values out of the command line, so that the positional
// rules see exactly the words they would see without them. Each may be given once: a second
// would silently replace the first. The first problem found is the one reported.
std::vector<char*> takeResultOptions(int argc, char** argv, CommandLine& cl) {
    static const char* const options[] = {"--series",       "--report",  "--dump-config", "--agents",
                                          "--agents-every", "--threads", "--only-runs"};
    std::map<std::string, std::string> given;  // each option with its first value
    std::vector<char*> rest;
    if (argc > 0) rest.push_back(argv[0]);
    for (int i = 1; i < argc; i++) {
        const std::string option = argv[i];
        if (std::find(std::begin(options), std::end(options), option) == std::end(options)) {
            rest.push_back(argv[i]);
            continue;
        }
        const char* value = i + 1 < argc ? argv[++i] : nullptr;
        const auto first = given.find(option);
        std::string problem;
        if (first != given.end() && value)
            problem = option + " is given twice (\"" + first->second + "\", then \"" + value + "\"): give it once";
        else
            problem = setResultOption(cl, option, value);
        if (value) given.emplace(option, value);
        if (cl.error.empty()) cl.error = problem;
    }
    rest.push_back(nullptr);
    return rest;
}

// The command line by its positional rules.
CommandLine parsePositional(int argc, char** argv) {
    CommandLine cl;
    // A caller may start the program with no words at all, not even its name.
    const char* name = argc > 0 && argv[0] ? argv[0] : "nkswarm";
    if (argc < 2) {
        cl.request = CommandLine::Request::Usage;
    } else if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        cl.request = CommandLine::Request::Help;
    } else if (argc == 2 && strcmp(argv[1], "--version") == 0) {
        cl.request = CommandLine::Request::Version;
    } else if (argc == 2 && strcmp(argv[1], "--keywords") == 0) {
        cl.request = CommandLine::Request::Keywords;
    } else {
        cl = Parser(argc, argv).parse();
    }
    cl.programName = name;
    return cl;
}

}  // namespace

CommandLine parseCommandLine(int argc, char** argv) {
    CommandLine results;
    std::vector<char*> rest = takeResultOptions(argc, argv, results);
    CommandLine cl = parsePositional(static_cast<int>(rest.size()) - 1, rest.data());
    // The window toolkit and nkswarm-visual get the whole command line.
    cl.argc = argc;
    cl.argv = argv;
    cl.seriesFile = results.seriesFile;
    cl.report = results.report;
    cl.dumpConfigFile = results.dumpConfigFile;
    cl.agentsFile = results.agentsFile;
    cl.agentsEvery = results.agentsEvery;
    cl.threads = results.threads;
    cl.onlyRuns = results.onlyRuns;
    cl.onlyFirst = results.onlyFirst;
    cl.onlyLast = results.onlyLast;
    cl.error = results.error;
    const bool notBatch = cl.visual != CommandLine::Visual::None || cl.actionProbs;
    if (notBatch && (!cl.seriesFile.empty() || cl.report != CommandLine::Report::Plain))
        cl.warnings.push_back("--series and --report belong to batch runs: not used here");
    if (notBatch && !cl.agentsFile.empty()) cl.warnings.push_back("--agents belongs to batch runs: not used here");
    if (notBatch && (results.threads != 1 || results.onlyRuns))
        cl.warnings.push_back("--threads and --only-runs belong to batch runs: not used here");
    if (cl.agentsFile.empty() && results.agentsEvery != 1)
        cl.warnings.push_back("--agents-every is used only with --agents: not used here");
    return cl;
}

void printUsage(const char* programName) {
    printf(
        "Usage: %s <sim.cfg.file> [--extra-cfg <sim.cfg.file-extra>] [--visual-rect | --visual-spherical "
        "[--follow]]\n",
        programName);
}

void printHelp(const char* programName) {
    printUsage(programName);
    fputs(
        "\n"
        "nkswarm <sim.cfg.file> [--num-runs N] [--extra-cfg FILE]\n"
        "        [--compare-strategies NAME0 CFG1 NAME1 CFG2 NAME2] [--print-stats] [--step-evals X]\n"
        "        [--visual-rect | --visual-spherical [--follow | --follow2 | --follow3 | POINT] [SEED]]\n"
        "        [--print-action-probs AGENT OUTPUT V1 V2 ...]\n"
        "        [--series FILE] [--agents FILE [--agents-every K]] [--report json|csv] [--dump-config FILE]\n"
        "        [--threads N] [--only-runs A-B]\n"
        "nkswarm --help | -h | --version | --keywords\n"
        "\n"
        "Options are recognised only in this order and at these positions (the result options\n"
        "anywhere); any other argument is ignored with a warning on standard error. A number\n"
        "that converts only in part (1e2, 2.5) is used as far as it reads, with a warning.\n"
        "  --num-runs N          replaces the configured number of runs when N > 0 (right after the file)\n"
        "  --extra-cfg FILE      strategy and agent parameter blocks read beside the main file\n"
        "  --compare-strategies  compared strategies (after --extra-cfg); CFG2 may be 0 for one\n"
        "  --print-stats         also standard deviations and one line per run\n"
        "  --step-evals X        evaluation budget per step for agent 0\n"
        "  --visual-rect, --visual-spherical   one run in a window\n"
        "  --print-action-probs  a network's action probabilities for state values V1 V2 ...\n"
        "  --keywords            the keyword table of configuration files (docs/keywords.md)\n"
        "Result options, anywhere on the command line, each at most once:\n"
        "  --series FILE         CSV: per run, step and fitness group the agents' mean and best fitness,\n"
        "                        the evaluations so far and the public memory's best\n"
        "  --agents FILE         CSV: per run, step and agent its point, base and crowded fitness, search and\n"
        "                        the memory it started from\n"
        "  --agents-every K      --agents writes every K-th step only (default 1)\n"
        "  --report json|csv     the report with labels, files, seeds and version, instead of the plain lines\n"
        "  --dump-config FILE    the configuration in effect, defaults included, as a main configuration file\n"
        "  --threads N           the runs in N threads (0: one per core; default 1); with runSeeding 1 every\n"
        "                        output is the same for any N, with runSeeding 0 the runs stay on one thread\n"
        "  --only-runs A-B       runSeeding 1: only the runs A to B (from 0), with their values in the whole batch\n",
        stdout);
}
