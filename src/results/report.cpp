// The labelled report in JSON (nlohmann's writer, which escapes names and writes each number
// so that it reads back as the same double) and in CSV.
#include "report.h"

#include <cmath>
#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>

#include "agent.h"
#include "batchrunner.h"
#include "configdump.h"
#include "keywords.h"
#include "landscape.h"
#include "scoring.h"
#include "simulation.h"
#include "version.h"

namespace {

using Json = nlohmann::ordered_json;

// How the deviations are computed, stated in every labelled report.
const char* const kDeviationKind = "population: divided by the number of runs, not by runs - 1";

// The configuration files by their role on the command line.
Json configFiles(const std::vector<std::string>& names) {
    Json compared = Json::array();
    for (size_t i = 2; i < names.size(); i++) compared.push_back(names[i]);
    return {{"main", names.empty() ? Json() : Json(names[0])},
            {"extra", names.size() > 1 ? Json(names[1]) : Json()},
            {"compared", compared}};
}

Json seeds(const SimuParameters& p) {
    return {{"landscapeseed", p.landscapeseed},
            {"changeseed", p.changeseed},
            {"startseed", p.startseed},
            {"searchseed", p.searchseed}};
}

// The shortest text that reads back as the same double.
std::string number(double v) {
    char buf[40];
    for (int digits = 15; digits <= 17; digits++) {
        snprintf(buf, sizeof buf, "%.*g", digits, v);
        if (strtod(buf, nullptr) == v) break;
    }
    return buf;
}

// A CSV field, quoted when it holds a separator, a quote or a line break.
std::string field(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// How the group's score was made; null for a group that is not scored.
Json scoring(const BatchRunner& batch, int g) {
    const std::string name = scoringName(groupScoring(batch.simulation().getParameters(), batch.statsPrinted(), g));
    return name.empty() ? Json() : Json(name);
}

std::string joined(const std::vector<std::string>& words, size_t from = 0, const char* separator = " ") {
    std::string out;
    for (size_t i = from; i < words.size(); i++) out += (i > from ? separator : "") + words[i];
    return out;
}

// The CSV report's own columns; the keyword columns follow them.
const char* const kCsvColumns =
    "group,first_agent,last_agent,agents,score,scoring,sd,runs,run,value,counted_steps,evaluations,version,main_config,"
    "extra_config,compared_configs,compared_strategies,landscapeseed,changeseed,startseed,searchseed,base_score,base_"
    "sd,"
    "base_value";

// The values of each keyword that --dump-config writes, one text per line it writes.
std::map<std::string, std::vector<std::string>> dumpedValues(const SimuParameters& p) {
    std::map<std::string, std::vector<std::string>> values;
    for (const DumpedSetting& s : dumpedSettings(p)) values[s.keyword].push_back(s.values);
    return values;
}

// Keywords that may stand on several lines (a line per fitness group, or per block) hold a list,
// so that a keyword's JSON type does not depend on the configuration.
bool manyLines(const KeywordEntry& entry) { return entry.presence == Presence::Repeated || isBlock(entry); }

// Every keyword of the table, in its order: the dump's text of its values; null (a list: empty)
// where the dump does not write it.
Json parameters(const SimuParameters& p) {
    const std::map<std::string, std::vector<std::string>> values = dumpedValues(p);
    Json out = Json::object();
    for (const KeywordEntry& entry : keywordTable()) {
        const auto it = values.find(entry.name);
        if (entry.onlyWhenSet && it == values.end()) continue;
        if (manyLines(entry))
            out[entry.name] = it == values.end() ? Json::array() : Json(it->second);
        else
            out[entry.name] = it == values.end() ? Json() : Json(it->second[0]);
    }
    return out;
}

// The keywords that have no column yet (the seeds have theirs), in the table's order; one
// written only when set has its column only then.
std::vector<const KeywordEntry*> keywordColumns(const std::map<std::string, std::vector<std::string>>& values) {
    std::vector<const KeywordEntry*> out;
    for (const KeywordEntry& entry : keywordTable()) {
        if (entry.onlyWhenSet && values.count(entry.name) == 0) continue;
        if ((std::string(",") + kCsvColumns + ",").find(std::string(",") + entry.name + ",") == std::string::npos)
            out.push_back(&entry);
    }
    return out;
}

}  // namespace

void runBatchFor(BatchRunner& batch, ReportCollector& collector, BatchObserver* series, BatchObserver* agents) {
    std::vector<BatchObserver*> observers;
    if (series) observers.push_back(series);
    if (agents) observers.push_back(agents);
    observers.push_back(&collector);
    batch.run(observers);
}

void ReportCollector::afterStep(Simulation& sim) {
    const SimuParameters& p = sim.getParameters();
    if (!p.runExternally || !Scorer::scoresStep(p, sim.getCurrentStep())) return;
    const Landscape& landscape = sim.getLandscape();
    for (int g = 0; g < p.nFitnessGroups; g++) {
        const int size = p.lastFitnessAgent[g] - p.firstFitnessAgent[g] + 1;
        if (size <= 0) continue;
        double sum = 0.0;
        for (int i = p.firstFitnessAgent[g]; i <= p.lastFitnessAgent[g]; i++)
            sum += landscape.getBaseFitness(sim.getAgents()[i]->getLastPoint());
        baseOfRun[g] += sum / size;
        baseTotal[g] += sum / size;
        if (keepsAdditions) baseAdditions[g].push_back(sum / size);
    }
}

std::unique_ptr<BatchObserver> ReportCollector::runRecorder() const {
    auto recorder = std::make_unique<ReportCollector>();
    recorder->keepsAdditions = true;
    return recorder;
}

void ReportCollector::mergeRun(BatchObserver& recorder) {
    const ReportCollector& run = static_cast<const ReportCollector&>(recorder);
    for (int g = 0; g < kMaxFitnessGroups; g++) {
        for (double v : run.baseAdditions[g]) baseTotal[g] += v;
        baseRunValues[g].insert(baseRunValues[g].end(), run.baseRunValues[g].begin(), run.baseRunValues[g].end());
        evaluations[g].insert(evaluations[g].end(), run.evaluations[g].begin(), run.evaluations[g].end());
    }
    countedSteps.insert(countedSteps.end(), run.countedSteps.begin(), run.countedSteps.end());
    lastSteps = run.lastSteps;
    baseDivisor = lastSteps * (unsigned int)countedSteps.size();
}

double ReportCollector::baseScore(int g) const { return baseTotal[g] / baseDivisor; }

double ReportCollector::baseDeviation(int g) const {
    const double avg = baseScore(g);
    double sq = 0.0;
    for (double v : baseRunValues[g]) sq += (v - avg) * (v - avg);
    return std::sqrt(sq / (double)baseRunValues[g].size());
}

void ReportCollector::afterRun(Simulation& sim, const Scorer& scores) {
    const SimuParameters& p = sim.getParameters();
    for (int g = 0; g < p.nFitnessGroups; g++) {
        baseRunValues[g].push_back(baseOfRun[g] / p.lastStepsUsedForFitness);
        baseOfRun[g] = 0.0;
    }
    countedSteps.push_back(scores.countedStepsInRun());
    // Over the runs made: all nRuns, or those --only-runs names.
    lastSteps = p.lastStepsUsedForFitness;
    baseDivisor = lastSteps * (unsigned int)countedSteps.size();
    for (int g = 0; g < sim.getParameters().nFitnessGroups; g++) evaluations[g].push_back(sim.getCountedEvals(g));
}

std::string ReportCollector::json(const BatchRunner& batch, const RunLabels& labels) const {
    const SimuParameters& p = batch.simulation().getParameters();
    const Scorer& scores = batch.scores();
    Json groups = Json::array();
    for (int g = 0; g < p.nFitnessGroups; g++) {
        const int first = p.firstFitnessAgent[g], last = p.lastFitnessAgent[g];
        groups.push_back({{"group", g},
                          {"first_agent", first},
                          {"last_agent", last},
                          {"agents", last >= first ? last - first + 1 : 0},
                          {"score", scores.groupAverage(g)},
                          {"scoring", scoring(batch, g)},
                          {"sd", scores.groupDeviation(g)},
                          {"values", scores.runValues(g)},
                          {"evaluations", evaluations[g]},
                          {"base_score", baseScore(g)},
                          {"base_sd", baseDeviation(g)},
                          {"base_values", baseRunValues[g]}});
    }
    Json report = {{"program", "nkswarm"},
                   {"version", NK_VERSION},
                   {"config_files", configFiles(labels.configFiles)},
                   {"compared_strategies", labels.comparedStrategyNames},
                   {"seeds", seeds(p)},
                   {"runs", scores.runCount()},
                   {"last_steps_used_for_fitness", p.lastStepsUsedForFitness},
                   {"counted_steps", countedSteps},
                   {"print_stats", labels.printStats},
                   {"agents_fitness_use_max", p.agentsFitnessUseMax},
                   {"sd_kind", kDeviationKind},
                   {"groups", groups},
                   {"parameters", parameters(p)}};
    // --only-runs: the runs made, as numbered in the whole batch.
    if (scores.runCount() != p.nRuns)
        report.push_back({"only_runs", {scores.firstRun(), scores.firstRun() + scores.runCount() - 1}});
    // File names need not be UTF-8; a byte that is not stays visible as U+FFFD.
    return report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string ReportCollector::csv(const BatchRunner& batch, const RunLabels& labels) const {
    const SimuParameters& p = batch.simulation().getParameters();
    const Scorer& scores = batch.scores();
    const std::vector<std::string>& files = labels.configFiles;
    // What every row repeats, so that rows of many reports can be stacked: the same columns for
    // every configuration, a keyword's lines joined by "; ", empty where the dump has none.
    const std::string tail = "," + field(NK_VERSION) + "," + field(files.empty() ? "" : files[0]) + "," +
                             field(files.size() > 1 ? files[1] : "") + "," + field(joined(files, 2)) + "," +
                             field(joined(labels.comparedStrategyNames)) + "," + std::to_string(p.landscapeseed) + "," +
                             std::to_string(p.changeseed) + "," + std::to_string(p.startseed) + "," +
                             std::to_string(p.searchseed);
    std::string out = kCsvColumns;
    std::string keywordCells;
    const std::map<std::string, std::vector<std::string>> values = dumpedValues(p);
    for (const KeywordEntry* entry : keywordColumns(values)) {
        const auto it = values.find(entry->name);
        out += std::string(",") + entry->name;
        keywordCells += "," + field(it == values.end() ? "" : joined(it->second, 0, "; "));
    }
    out += "\n";
    keywordCells += "\n";
    for (int g = 0; g < p.nFitnessGroups; g++) {
        const int first = p.firstFitnessAgent[g], last = p.lastFitnessAgent[g];
        const std::string lead = std::to_string(g) + "," + std::to_string(first) + "," + std::to_string(last) + "," +
                                 std::to_string(last >= first ? last - first + 1 : 0) + "," +
                                 number(scores.groupAverage(g)) + "," +
                                 field(scoringName(groupScoring(p, batch.statsPrinted(), g))) + "," +
                                 number(scores.groupDeviation(g)) + "," + std::to_string(scores.runCount()) + ",";
        for (size_t r = 0; r < scores.runValues(g).size(); r++) {
            out += lead;
            out += std::to_string(scores.firstRun() + r) + ",";
            out += number(scores.runValues(g)[r]) + ",";
            out += std::to_string(r < countedSteps.size() ? countedSteps[r] : 0) + ",";
            out += std::to_string(r < evaluations[g].size() ? evaluations[g][r] : 0);
            out += tail;
            out += "," + number(baseScore(g)) + "," + number(baseDeviation(g)) + ",";
            out += r < baseRunValues[g].size() ? number(baseRunValues[g][r]) : std::string();
            out += keywordCells;
        }
    }
    return out;
}
