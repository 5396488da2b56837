// The compiled part of the Python package nkswarm (nkswarm._core): configurations in memory, batch
// runs with NumPy results, and whole landscapes. Runs release the interpreter lock, so that
// simulations in threads run in parallel; errors raise instead of ending the interpreter.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <cstdint>
#include <optional>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "analysis.h"
#include "batchrun.h"
#include "configvalues.h"
#include "keywords.h"
#include "moduleconfig.h"
#include "util.h"
#include "version.h"

namespace py = pybind11;

namespace {

// Owned by the module for the life of the interpreter.
PyObject* configError = nullptr;
PyObject* genomeError = nullptr;
PyObject* configWarning = nullptr;

// The program's message without its first line, "ERROR at <source location>:", which names a
// place in the engine rather than in the configuration.
std::string messageOf(const FatalExit& e) {
    std::string text = e.what();
    if (text.rfind("ERROR at ", 0) == 0) text.erase(0, text.find('\n') + 1);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// One Python exception class per kind of error.
PyObject* exceptionClass(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::Genome:
            return genomeError;
        case ErrorKind::IO:
            return PyExc_OSError;
        case ErrorKind::Usage:
            return PyExc_ValueError;
        case ErrorKind::Internal:
            return PyExc_RuntimeError;
        default:
            return configError;
    }
}

void warn(const std::string& text) {
    if (PyErr_WarnEx(configWarning, text.c_str(), 1) != 0) throw py::error_already_set();
}

void warnAll(const std::vector<std::string>& warnings) {
    for (const std::string& w : warnings) warn(w);
}

// --- configurations ----------------------------------------------------------------------

void configUpdate(ModuleConfig& cfg, const py::dict& values) {
    std::vector<ModuleConfig::Edit> edits;
    for (auto item : values) edits.push_back(editOf(item.first.cast<std::string>(), item.second));
    std::vector<std::string> added;
    {
        py::gil_scoped_release released;
        added = cfg.edit(edits);
    }
    warnAll(added);
}

// A str or a path-like object, as open() takes it.
std::string pathOf(py::handle path) { return py::module_::import("os").attr("fspath")(path).cast<std::string>(); }

ModuleConfig configFromFile(py::handle pathLike) {
    const std::string path = pathOf(pathLike);
    std::optional<ModuleConfig> cfg;
    {
        py::gil_scoped_release released;
        cfg.emplace(ModuleConfig::fromFile(path));
    }
    warnAll(cfg->params().warnings);
    return std::move(*cfg);
}

ModuleConfig configFromText(const std::string& text, const std::string& name) {
    std::optional<ModuleConfig> cfg;
    {
        py::gil_scoped_release released;
        cfg.emplace(name, text);
    }
    warnAll(cfg->params().warnings);
    return std::move(*cfg);
}

// Every keyword the configuration states, with its value as cfg[keyword] gives it.
py::dict configDict(const ModuleConfig& cfg) {
    py::dict d;
    for (const std::string& k : cfg.keywords()) d[py::str(k)] = configItem(cfg, k);
    return d;
}

// A configuration of the dictionary's keywords alone (None leaves one out).
ModuleConfig configFromDict(const py::dict& values, const std::string& name) {
    std::vector<ModuleConfig::Edit> edits;
    for (auto item : values)
        if (!item.second.is_none()) edits.push_back(editOf(item.first.cast<std::string>(), item.second));
    std::optional<ModuleConfig> cfg;
    {
        py::gil_scoped_release released;
        cfg.emplace(ModuleConfig::fromEdits(name, edits));
    }
    warnAll(cfg->params().warnings);
    return std::move(*cfg);
}

py::list keywordTableList() {
    static const char* const columns[] = {"keyword", "presence", "condition", "kind", "values", "default", "meaning"};
    py::list rows;
    for (const KeywordEntry& entry : keywordTable()) {
        const std::vector<std::string> row = keywordTableRow(entry);
        py::dict d;
        for (size_t i = 0; i < row.size(); i++) d[columns[i]] = row[i];
        rows.append(d);
    }
    return rows;
}

// --- runs --------------------------------------------------------------------------------

// A batch's files, and the Config objects among them, whose own reading gave their messages.
struct RunFiles {
    BatchRequest request;
    std::vector<const ModuleConfig*> configs;
};

// A configuration for a run: a Config (its text) or the path of a file.
void addFile(RunFiles& files, py::handle cfg) {
    BatchRequest& q = files.request;
    if (py::isinstance<ModuleConfig>(cfg)) {
        const ModuleConfig& c = cfg.cast<const ModuleConfig&>();
        q.fileNames.push_back(c.readName());
        q.texts.emplace_back(c.readText());
        files.configs.push_back(&c);
    } else {
        q.fileNames.push_back(pathOf(cfg));
        q.texts.emplace_back();
    }
}

// (NAME0, CFG1, NAME1) or (NAME0, CFG1, NAME1, CFG2, NAME2), as --compare-strategies gives them.
void addCompared(RunFiles& files, const py::sequence& compare) {
    if (compare.size() != 3 && compare.size() != 5)
        throw py::value_error("compare takes (name0, cfg1, name1) or (name0, cfg1, name1, cfg2, name2)");
    files.request.comparedNames.push_back(compare[0].cast<std::string>());
    for (size_t i = 1; i < compare.size(); i += 2) {
        addFile(files, compare[i]);
        files.request.comparedNames.push_back(compare[i + 1].cast<std::string>());
    }
}

std::string located(const RunFiles& files, std::string message) {
    for (const ModuleConfig* c : files.configs) message = c->located(message);
    return message;
}

// The run's warnings less those a Config raised when it was read: each is raised once.
std::vector<std::string> newWarnings(const RunFiles& files, const std::vector<std::string>& warnings) {
    std::vector<std::string> raised, out;
    for (const ModuleConfig* c : files.configs)
        raised.insert(raised.end(), c->params().warnings.begin(), c->params().warnings.end());
    for (const std::string& w : warnings) {
        const std::string shown = located(files, w);
        const auto seen = std::find(raised.begin(), raised.end(), shown);
        if (seen == raised.end())
            out.push_back(shown);
        else
            raised.erase(seen);
    }
    return out;
}

BatchResult runFiles(const RunFiles& files) {
    py::gil_scoped_release released;
    try {
        return runBatch(files.request);
    } catch (const FatalExit& e) {
        throw FatalExit(e.kind, e.status, located(files, e.what()));
    }
}

template <typename T>
py::array_t<T> array(const std::vector<T>& values, std::vector<py::ssize_t> shape) {
    py::array_t<T> a(shape);
    std::copy(values.begin(), values.end(), a.mutable_data());
    return a;
}

// The series as columns of equal length, named as in the CSV file; a group without agents has
// NaN fitness.
py::dict seriesColumns(const std::vector<SeriesRow>& rows) {
    const py::ssize_t n = static_cast<py::ssize_t>(rows.size());
    py::array_t<unsigned int> run(n), step(n);
    py::array_t<int> group(n), agents(n);
    py::array_t<double> mean(n), best(n), publicBest(n), meanBase(n), bestBase(n);
    py::array_t<long long> evals(n);
    py::array_t<int> distinct(n);
    for (py::ssize_t i = 0; i < n; i++) {
        const SeriesRow& r = rows[static_cast<size_t>(i)];
        const double none = std::nan("");
        run.mutable_at(i) = r.run;
        step.mutable_at(i) = r.step;
        group.mutable_at(i) = r.group;
        agents.mutable_at(i) = r.agents;
        mean.mutable_at(i) = r.hasFitness ? r.meanFitness : none;
        best.mutable_at(i) = r.hasFitness ? r.bestFitness : none;
        evals.mutable_at(i) = r.evaluations;
        publicBest.mutable_at(i) = r.publicBest;
        meanBase.mutable_at(i) = r.hasFitness ? r.meanBaseFitness : none;
        bestBase.mutable_at(i) = r.hasFitness ? r.bestBaseFitness : none;
        distinct.mutable_at(i) = r.hasFitness ? r.distinctPoints : 0;
    }
    py::dict d;
    d["run"] = run, d["step"] = step, d["group"] = group, d["agents"] = agents;
    d["mean_fitness"] = mean, d["best_fitness"] = best, d["evaluations"] = evals, d["public_best"] = publicBest;
    d["mean_base_fitness"] = meanBase, d["best_base_fitness"] = bestBase, d["distinct_points"] = distinct;
    return d;
}

struct RunResult {
    py::object scores, perRun, std, evaluations, countedSteps, series, scoring, baseScores, basePerRun, baseStd;
    std::string report;
    double seconds;
    py::object agents, warnings;
    unsigned int firstRun;
    std::optional<int> numRuns;
    // The main configuration that ran: a Config's source or a file's path, read only when first
    // asked for, since reading again (a network's genomes too) would add to every run.
    std::optional<ModuleConfig::Source> ranSource;
    std::string ranPath;
    py::object ranConfig;
};

// The main configuration as it ran, apart from the caller's Config (its warnings were raised).
py::object resultConfig(RunResult& r) {
    if (!r.ranConfig) {
        std::optional<ModuleConfig> ran;
        {
            py::gil_scoped_release released;
            ran.emplace(r.ranSource ? ModuleConfig::fromSource(*r.ranSource) : ModuleConfig::fromFile(r.ranPath));
        }
        r.ranConfig = py::cast(std::move(*ran));
    }
    return r.ranConfig;
}

// The configuration's keywords and values, nRuns the runs asked for where num_runs replaced it.
py::dict resultParameters(RunResult& r) {
    py::dict d = configDict(resultConfig(r).cast<const ModuleConfig&>());
    if (r.numRuns) d["nRuns"] = *r.numRuns;
    return d;
}

// Tables are made by the package's Python part, which needs pandas only when asked for one.
py::object studyCall(const char* name, py::object result) {
    return py::module_::import("nkswarm._study").attr(name)(result);
}

// False or None: no per-agent rows; True: every step's; a whole number K: every K-th step's.
unsigned int agentsEveryOf(py::handle agents) {
    if (agents.is_none() || py::isinstance<py::bool_>(agents)) return !agents.is_none() && agents.cast<bool>();
    const long long every = wholeOf(agents).cast<long long>();
    if (every < 1 || every > UINT32_MAX)
        throw py::value_error("agents takes True, False or a step interval of 1 or more");
    return static_cast<unsigned int>(every);
}

// Per fitness group, how its score was made: "mean", "max" or "sum/11"; None where not scored.
py::tuple scoringTuple(const std::vector<std::string>& scoring) {
    py::list out;
    for (const std::string& s : scoring) out.append(s.empty() ? py::object(py::none()) : py::object(py::str(s)));
    return py::tuple(out);
}

RunResult run(py::handle cfg, std::optional<int> numRuns, py::handle extra, std::optional<py::sequence> compare,
              bool stats, std::optional<double> stepEvals, bool series, unsigned int threads,
              std::optional<std::pair<unsigned int, unsigned int>> onlyRuns, py::handle agents) {
    RunFiles files;
    addFile(files, cfg);
    if (!extra.is_none()) addFile(files, extra);
    if (compare) {
        if (extra.is_none()) throw py::value_error("compare needs extra, as --compare-strategies needs --extra-cfg");
        addCompared(files, *compare);
    }
    if (numRuns && *numRuns < 1) throw py::value_error("num_runs must be at least 1");
    if (stepEvals && !(*stepEvals > 0 && std::isfinite(*stepEvals)))
        throw py::value_error("step_evals must be a finite number above 0");
    BatchRequest& q = files.request;
    q.runs = numRuns.value_or(0);
    q.stats = stats;
    q.stepEvals = stepEvals.value_or(0.0);
    q.series = series;
    q.agentsEvery = agentsEveryOf(agents);
    q.threads = threads;
    if (onlyRuns) {
        if (onlyRuns->first > onlyRuns->second) throw py::value_error("only_runs needs (A, B) with A at most B");
        q.onlyRuns = true;
        q.onlyFirst = onlyRuns->first;
        q.onlyLast = onlyRuns->second;
    }

    // The configuration as it is when the run starts, for Result.config.
    const bool given = py::isinstance<ModuleConfig>(cfg);
    std::optional<ModuleConfig::Source> source;
    if (given) source = cfg.cast<const ModuleConfig&>().source();
    const BatchResult r = runFiles(files);
    const std::vector<std::string> warnings = newWarnings(files, r.warnings);
    warnAll(warnings);
    const py::ssize_t runs = r.runs, groups = r.groups;
    py::list warned;
    for (const std::string& w : warnings) warned.append(w);
    return {array(r.scores, {groups}),
            array(r.runValues, {runs, groups}),
            array(r.deviations, {groups}),
            array(r.evaluations, {runs, groups}),
            array(r.countedSteps, {runs}),
            series ? py::object(seriesColumns(r.series)) : py::none(),
            scoringTuple(r.scoring),
            array(r.baseScores, {groups}),
            array(r.baseRunValues, {runs, groups}),
            array(r.baseDeviations, {groups}),
            r.report,
            r.seconds,
            q.agentsEvery > 0 ? py::object(py::str(r.agents)) : py::none(),
            py::tuple(warned),
            q.onlyRuns ? q.onlyFirst : 0u,
            numRuns,
            std::move(source),
            given ? std::string() : pathOf(cfg),
            py::object()};
}

// --- landscapes --------------------------------------------------------------------------

// Only the settings a landscape depends on; checked as nkanalyze checks them.
struct LandscapeSettings {
    std::vector<std::string> names;
    SimuParameters params{names};
    LandscapeSettings(unsigned int n, unsigned int k, int seed, double stretch, const std::string& components) {
        if (components != "seeded" && components != "independent")
            throw py::value_error("components must be \"seeded\" or \"independent\", not \"" + components + "\"");
        if (n < 1 || n > analysis::kMaxN || k >= n)
            throw py::value_error("n=" + std::to_string(n) + ", k=" + std::to_string(k) + ": n must be 1 to " +
                                  std::to_string(analysis::kMaxN) + " and k below n");
        params.n = n;
        params.k = k;
        params.nPoints = 1ul << n;
        params.nContexts = 1ul << k;
        params.landscapeseed = seed;
        params.fitnessStretchCoef = stretch;
        params.landscapeComponents = components == "independent" ? 1 : 0;
    }
};

// Only a seed's low 16 bits count, as for the program's seeds: a seed outside 0 to 65535 warns
// with the seed it acts as.
int seedUsed(long long seed) {
    const int used = static_cast<int>(seed & 0xffff);
    if (used != seed)
        warn("seed " + std::to_string(seed) + " acts as " + std::to_string(used) +
             ": only the low 16 bits of a seed are used");
    return used;
}

py::array_t<double> landscape(unsigned int n, unsigned int k, long long seed, double stretch,
                              const std::string& components) {
    LandscapeSettings s(n, k, seedUsed(seed), stretch, components);
    auto fitness = std::make_unique<std::vector<double>>();
    {
        py::gil_scoped_release released;
        analysis::landscapeFitness(s.params, *fitness);
    }
    // The array takes the vector's storage instead of a copy (2^24 values are 128 MiB).
    std::vector<double>* owned = fitness.release();
    py::capsule owner(owned, [](void* v) { delete static_cast<std::vector<double>*>(v); });
    return py::array_t<double>(static_cast<py::ssize_t>(owned->size()), owned->data(), owner);
}

// The figures of one landscape, named as the columns of nkanalyze --csv.
py::dict figuresDict(const analysis::LandscapeFigures& f, unsigned int n) {
    py::dict d;
    d["seed"] = f.landscapeseed;
    d["local_maxima"] = f.localMaxima;
    d["global_max_point"] = f.globalMaxPoint;
    d["global_max_bits"] = analysis::bitString(f.globalMaxPoint, n);
    d["global_max"] = f.globalMax;
    d["min_point"] = f.minPoint;
    d["minimum"] = f.minimum;
    d["mean"] = f.mean;
    d["neighbour_corr"] = f.neighbourCorrelation;
    return d;
}

// One seed: its figures. Several: each landscape's, with the mean and standard error of each
// figure over them, as nkanalyze's "mean" and "s.e." rows.
py::dict analyze(unsigned int n, unsigned int k, py::handle seed, double stretch, const std::string& components) {
    const bool one = !py::isinstance<py::sequence>(seed);
    std::vector<int> seeds;
    if (one)
        seeds.push_back(seedUsed(wholeOf(seed).cast<long long>()));
    else
        for (py::handle sd : seed.cast<py::sequence>()) seeds.push_back(seedUsed(wholeOf(sd).cast<long long>()));
    LandscapeSettings s(n, k, 0, stretch, components);
    std::vector<analysis::LandscapeFigures> all;
    {
        py::gil_scoped_release released;
        std::vector<double> fitness;
        for (int sd : seeds) {
            s.params.landscapeseed = sd;
            all.push_back(analysis::analyzeLandscape(s.params, fitness));
        }
    }
    if (one) return figuresDict(all[0], n);
    py::list landscapes;
    for (const analysis::LandscapeFigures& f : all) landscapes.append(figuresDict(f, n));
    const analysis::Summary sum = analysis::summarize(all);
    const std::pair<const char*, analysis::Estimate> figures[] = {{"local_maxima", sum.localMaxima},
                                                                  {"global_max", sum.globalMax},
                                                                  {"minimum", sum.minimum},
                                                                  {"mean", sum.mean},
                                                                  {"neighbour_corr", sum.neighbourCorrelation}};
    py::dict mean, se;
    for (const auto& [name, e] : figures) {
        mean[name] = e.mean;
        se[name] = e.standardError;
    }
    py::dict d;
    d["landscapes"] = landscapes, d["mean"] = mean, d["se"] = se;
    return d;
}

void bindConfig(py::module_& m) {
    py::class_<ModuleConfig>(m, "Config",
                             "A main configuration held in memory, read and checked by the program's reader.")
        .def_static("from_file", &configFromFile, py::arg("path"), "Reads a configuration file.")
        .def_static("from_text", &configFromText, py::arg("text"), py::arg("name") = "<text>",
                    "Reads a configuration from its text; `name` labels the reader's messages.")
        .def("to_text", &ModuleConfig::text, "The configuration as a file the program reads to the same run.")
        .def_static("from_dict", &configFromDict, py::arg("values"), py::arg("name") = "<dict>",
                    "A configuration of the keywords and values given, as to_dict() gives them; `name` labels "
                    "the reader's messages.")
        .def("to_dict", &configDict, "Every keyword the configuration states, with its value as cfg[keyword] gives it.")
        .def_property_readonly("name", &ModuleConfig::name)
        .def("keys", &ModuleConfig::keywords, "The keywords the configuration states, in its order.")
        .def("__contains__",
             [](const ModuleConfig& c, const std::string& k) {
                 const std::vector<std::string> keys = c.keywords();
                 const KeywordEntry* entry = findKeyword(k);
                 return entry && std::find(keys.begin(), keys.end(), entry->name) != keys.end();
             })
        .def("__getitem__", &configItem)
        .def("__setitem__",
             [](ModuleConfig& c, const std::string& k, py::handle v) {
                 py::dict d;
                 d[py::str(k)] = v;
                 configUpdate(c, d);
             })
        .def("update", &configUpdate, py::arg("values"),
             "Sets several keywords at once (None removes one) and reads the result.")
        .def("copy", &ModuleConfig::copy, "The same configuration, its warnings not raised again.")
        .def("__repr__", [](const ModuleConfig& c) { return "<nkswarm.Config " + c.name() + ">"; });
}

void bindRun(py::module_& m) {
    py::class_<RunResult>(m, "Result", "The numbers of a batch's report, and with series=True its per-step series.")
        .def_readonly("scores", &RunResult::scores, "Per fitness group, the report's first line.")
        .def_readonly("per_run", &RunResult::perRun, "Per run and fitness group, the run's value.")
        .def_readonly("std", &RunResult::std, "Per fitness group, the population standard deviation of the runs.")
        .def_readonly("evaluations", &RunResult::evaluations, "Per run and fitness group, the counted evaluations.")
        .def_readonly("counted_steps", &RunResult::countedSteps, "Per run, the scored steps.")
        .def_readonly("series", &RunResult::series, "The per-step series as columns (series=True), else None.")
        .def_readonly("scoring", &RunResult::scoring,
                      "Per fitness group, how its score was made: \"mean\" (the mean agent per counted step), "
                      "\"max\" (the best agent), \"sum/11\" (the agents' sum divided by 11: group 0 with "
                      "stats=False and agentsFitnessUseMax 0), or None (not scored: 0).")
        .def_readonly("base_scores", &RunResult::baseScores,
                      "Per fitness group, the base score: the group's mean base fitness (without crowding) per "
                      "scored step, as the \"mean\" scoring accounts it.")
        .def_readonly("base_per_run", &RunResult::basePerRun, "Per run and fitness group, the run's base value.")
        .def_readonly("base_std", &RunResult::baseStd,
                      "Per fitness group, the population standard deviation of the runs' base values.")
        .def_readonly("report", &RunResult::report, "The plain report, as the program prints it.")
        .def_readonly("seconds", &RunResult::seconds, "Time spent reading the configuration and running.")
        .def_property_readonly("config", &resultConfig,
                               "The main configuration that ran, as a Config of its own: the Config given as it "
                               "was, or the file (read when first asked for); num_runs aside.")
        .def_property_readonly("parameters", &resultParameters,
                               "Keyword -> value of the configuration that ran, as Config gives them; nRuns is "
                               "num_runs where given.")
        .def_readonly("warnings", &RunResult::warnings, "The warnings the run raised, as their texts.")
        .def_readonly("first_run", &RunResult::firstRun, "The run of per_run's first row (only_runs' A, else 0).")
        .def_readonly("agents", &RunResult::agents,
                      "With agents=True (or a step interval), the per-agent CSV --agents writes, as text; else None.")
        .def(
            "frame", [](py::object self) { return studyCall("result_frame", self); },
            "A pandas DataFrame, one row per run and fitness group: run, group, value, base_value, evaluations, "
            "counted_steps, then the parameters as columns.")
        .def(
            "series_frame", [](py::object self) { return studyCall("series_frame", self); },
            "The per-step series (series=True) as a pandas DataFrame, with the columns of the --series CSV.")
        .def(
            "agents_frame", [](py::object self) { return studyCall("agents_frame", self); },
            "The per-agent rows (agents=True) as a pandas DataFrame, with the columns of the --agents CSV.");
    m.def("run", &run, py::arg("cfg"), py::arg("num_runs") = py::none(), py::arg("extra") = py::none(),
          py::arg("compare") = py::none(), py::arg("stats") = true, py::arg("step_evals") = py::none(),
          py::arg("series") = false, py::arg("threads") = 1, py::arg("only_runs") = py::none(),
          py::arg("agents") = false,
          "Runs a batch as `nkswarm CFG [--num-runs N] [--extra-cfg EXTRA] [--compare-strategies ...] "
          "[--print-stats] [--step-evals X] [--threads N] [--only-runs A-B] [--agents-every K]` would; "
          "configurations are Config objects or file paths. threads: threads for the runs of this batch. "
          "agents=True keeps the rows --agents writes (an integer K: every K-th step's) in Result.agents. "
          "stats=True (--print-stats, the default) scores every fitness group by its mean or best agent; "
          "stats=False scores as the program does without --print-stats (see Result.scoring).");
}

#ifdef __GLIBC__
constexpr int kKeptFreeHeap = 64 << 20;
#endif

}  // namespace

// The compiled part of the package nkswarm, whose __init__ names everything here.
PYBIND11_MODULE(_core, m) {
    // An input error raises in the calling thread and leaves the interpreter running.
    setFatalMode(FatalMode::ThrowQuietly);
#ifdef __GLIBC__
    // A run in a thread allocates from a heap of its own, which glibc shrinks as soon as its
    // free top passes the trim threshold (128 KiB at first): the arrays that follow are faulted
    // in afresh, and two threads' faults and shrinks contend for the process's address-space
    // lock (two runs side by side took 0.66-0.75 of the time of one after the other; 0.50 with
    // this). A heap keeps up to 64 MiB of freed memory instead.
    mallopt(M_TRIM_THRESHOLD, kKeptFreeHeap);
#endif
    configError = PyErr_NewException("nkswarm.ConfigError", PyExc_Exception, nullptr);
    genomeError = PyErr_NewException("nkswarm.GenomeError", configError, nullptr);
    configWarning = PyErr_NewException("nkswarm.ConfigWarning", PyExc_UserWarning, nullptr);
    m.add_object("ConfigError", configError);
    m.add_object("GenomeError", genomeError);
    m.add_object("ConfigWarning", configWarning);
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const FatalExit& e) {
            PyErr_SetString(exceptionClass(e.kind), messageOf(e).c_str());
        }
    });
    m.attr("__version__") = NK_VERSION;
    m.doc() = "Collective search on NK fitness landscapes: batch runs, configurations and landscapes.";
    bindConfig(m);
    bindRun(m);
    m.def("keywords", &keywordTableList, "The keyword table of configuration files, as nkswarm --keywords prints it.");
    m.def("landscape", &landscape, py::arg("n"), py::arg("k"), py::arg("seed"), py::arg("stretch") = 1.0,
          py::arg("components") = "seeded", "The base fitness of all 2^n points (n <= 24), indexed by point.");
    m.def("analyze", &analyze, py::arg("n"), py::arg("k"), py::arg("seed"), py::arg("stretch") = 1.0,
          py::arg("components") = "seeded", "The figures nkanalyze gives for one landscape seed, or for several.");
}
