// The per-agent trajectories as CSV, written in whole rows, in pieces.
#include "agentswriter.h"

#include <cerrno>
#include <charconv>
#include <cstring>

#include "agent.h"
#include "simulation.h"
#include "util.h"

namespace {

// Rows go to the file in pieces of about this size, always whole, so that a run that is
// stopped leaves only complete rows.
constexpr size_t kWriteChunk = 1 << 20;

// The search an agent made in a step, by the output's names. A decision names a search type;
// the explore method carries out both explore and recombination, and "explore2" is explore
// while the configuration moves the jump range towards explore2's.
const char* searchName(const Agent& a, const SimuParameters& p) {
    if (a.wasWaiting()) return "wait";
    switch (a.decidedSearchType()) {
        case SearchTypeExploit:
            return "exploit";
        case SearchTypeExplore:
            return p.exploreSearchConfig2.maxSteps != 0 ? "explore2" : "explore";
        case SearchTypeRecombination:
            return "recombination";
        default:
            return "";
    }
}

// Where the step started: a memory's best point, or where the agent stood ("current").
const char* sourceName(const Agent& a) {
    const SearchMethod* m = a.getCurSearchMethod();
    if (a.wasWaiting() || m == nullptr) return "";
    if (!m->startedAnew()) return "current";
    switch (m->getSrcMemType()) {
        case MemTypePublic:
            return "public";
        case MemTypePrivate:
            return "private";
        case MemTypeGroup:
            return "group";
        default:
            return "";
    }
}

void append(std::string& out, long long v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// Six decimals, as "%.6f" writes them (the series' and the report's precision).
void appendFixed(std::string& out, double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    out.append(buf, r.ptr);
}

}  // namespace

AgentsWriter::AgentsWriter(const std::string& name, unsigned int every)
    : fileName(name), file(fopen(name.c_str(), "w")), every(every == 0 ? 1 : every) {
    if (!file) NK_FATAL(IO, "Cannot write the agents file %s: %s\n", name.c_str(), strerror(errno));
    rows = header();
    writeRows();
}

const char* AgentsWriter::header() { return "run,step,agent,group,point,base_fitness,fitness,search,source\n"; }

std::string AgentsWriter::takeRows() {
    std::string taken = std::move(rows);
    rows.clear();
    return taken;
}

AgentsWriter::~AgentsWriter() {
    if (file) fclose(file);
}

void AgentsWriter::afterStep(Simulation& sim) {
    step = sim.getCurrentStep();
    if (step % every != 0) return;
    run = sim.getCurrentRun();
    const SimuParameters& p = sim.getParameters();
    const std::vector<std::unique_ptr<Agent>>& all = sim.getAgents();
    if (groupOf.size() != all.size()) {
        groupOf.assign(all.size(), -1);
        for (int g = p.nFitnessGroups - 1; g >= 0; g--)
            for (int i = p.firstFitnessAgent[g]; i <= p.lastFitnessAgent[g]; i++)
                if (i >= 0 && (size_t)i < all.size()) groupOf[(size_t)i] = g;
    }
    agents.clear();
    for (const auto& a : all) {
        // An agent that did not step (a group without its turn, agent 0 past its budget) made
        // no search.
        const bool acted = a->lastOwnStep() == step;
        const Point& point = a->getLastPoint();
        agents.push_back({point, point.values >= 0 ? sim.getLandscape().getBaseFitness(point) : 0.0,
                          acted ? searchName(*a, p) : "", acted ? sourceName(*a) : ""});
    }
    pending = true;
}

void AgentsWriter::beforeVisits(Simulation& sim) {
    if (pending) addRows(sim);
}

void AgentsWriter::afterRun(Simulation& sim, const Scorer&) {
    if (pending) addRows(sim);
    if (file) writeRows();
}

std::unique_ptr<BatchObserver> AgentsWriter::runRecorder() const {
    return std::unique_ptr<BatchObserver>(new AgentsWriter(every));
}

void AgentsWriter::mergeRun(BatchObserver& recorder) {
    rows += static_cast<AgentsWriter&>(recorder).rows;
    if (file) writeRows();
}

void AgentsWriter::addRows(Simulation& sim) {
    Landscape& landscape = sim.getLandscape();
    for (size_t i = 0; i < agents.size(); i++) {
        const Pending& a = agents[i];
        append(rows, run);
        rows += ',';
        append(rows, step);
        rows += ',';
        append(rows, (long long)i);
        rows += ',';
        if (groupOf[i] >= 0) append(rows, groupOf[i]);
        rows += ',';
        // An agent on no point yet has no point and no fitness.
        if (a.point.values >= 0) {
            append(rows, a.point.values);
            rows += ',';
            appendFixed(rows, a.base);
            rows += ',';
            appendFixed(rows, landscape.peekFitnessValue(a.point));
        } else {
            rows += ",,";
        }
        rows += ',';
        rows += a.search;
        rows += ',';
        rows += a.source;
        rows += '\n';
    }
    pending = false;
    if (file && rows.size() >= kWriteChunk) writeRows();
}

void AgentsWriter::writeRows() {
    if (fwrite(rows.data(), 1, rows.size(), file) != rows.size() || fflush(file) != 0)
        NK_FATAL(IO, "Cannot write the agents file %s: %s\n", fileName.c_str(), strerror(errno));
    rows.clear();
}
