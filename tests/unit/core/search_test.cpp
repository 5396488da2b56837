// Search phase, step frame, place decision and the exploit, explore and recombination
// searches, checked against brute force over small landscapes.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "search_fixture.h"
#include "util.h"

using testkit::Queue;
using testkit::queued;
using testkit::stateAfterDraws;
using testkit::stateOf;
using testkit::values;
using testkit::World;

namespace {

std::vector<Point> neighbours(const World& w, const Point& s) {
    std::vector<Point> out;
    for (unsigned int d = 0; d < w.sim->getParameters().n; d++) out.emplace_back(s, d);
    return out;
}

// Starts the next search from `s` as a new start (the best point of the public memory).
void startFromPublic(World& w, const Point& s, double recordedFitness, SearchMethod& m) {
    w.pub->addPoint(s, recordedFitness, VisitTypeInit);
    m.setSrcMemory(MemTypePublic);
}

// Makes the next step continue from `s` without a new start.
void continueFrom(World& w, const Point& s) {
    w.agent->phase().setInPhaseSteps(1);
    w.agent->phase().setLastPoint(s, w.f(s));
    w.agent->searchSubject().clearSearchPoints();
}

// Index of the first neighbour of s strictly better than s (-1: none); the first best neighbour.
int firstBetter(const World& w, const Point& s) {
    auto nb = neighbours(w, s);
    for (size_t i = 0; i < nb.size(); i++)
        if (w.f(nb[i]) > w.f(s)) return (int)i;
    return -1;
}
Point bestNeighbour(const World& w, const Point& s) {
    Point best;
    for (const Point& q : neighbours(w, s))
        if (best == Point() || w.f(q) > w.f(best)) best = q;
    return best;
}

// A local maximum whose best neighbour falls into the same (or a different) quantization level.
Point localMax(const World& w, int levels, bool sameLevel) {
    for (long v = 0; v < (1L << w.sim->getParameters().n); v++) {
        const Point s(v), b = bestNeighbour(w, s);
        if (firstBetter(w, s) < 0 && ((int)(w.f(s) * levels) == (int)(w.f(b) * levels)) == sameLevel) return s;
    }
    return Point();
}

// What one step of a method must do: where the agent ends, the visits it queues on the
// landscape, the writes it queues into the public memory, the draws and evaluations it takes.
struct StepOutcome {
    Point at;
    std::vector<int> visits;
    Queue writes;
    int draws, evaluations;
};

void expectStep(World& w, SearchMethod& m, const StepOutcome& e) {
    const uint64_t state = stateAfterDraws(w.rs(), e.draws);
    const int stamp0 = w.stamp();
    m.step();
    EXPECT_EQ(w.agent->phase().lastPoint(), e.at);
    EXPECT_EQ(values(w.land().queuedVisitPoints), e.visits);
    EXPECT_EQ(queued(*w.pub), e.writes);
    EXPECT_EQ(stateOf(w.rs()), state);
    EXPECT_EQ(w.stamp() - stamp0, e.evaluations);
}

}  // namespace

TEST(ExploitSearchTest, ScanStopsAtTheFirstBetterNeighbourUnlessAllAreTried) {
    for (bool useAll : {false, true}) {
        SCOPED_TRACE(useAll ? "use all" : "first better");
        World w([&](SimuParameters& p) {
            p.generalCustomParams.exploitSearchConfig.useAllAttempts = useAll;
            p.waitingEnabled = true;
        });
        // A start whose first better neighbour is neither its first nor its best neighbour.
        Point s;
        for (long v = 0; v < 64 && s == Point(); v++)
            if (firstBetter(w, Point(v)) >= 1 &&
                w.f(bestNeighbour(w, Point(v))) > w.f(Point(v, firstBetter(w, Point(v)))))
                s = Point(v);
        ASSERT_NE(s, Point());
        const auto nb = neighbours(w, s);
        const int i = firstBetter(w, s), tried = useAll ? 6 : i + 1, checks = useAll ? 6 : i;
        const Point moved = useAll ? bestNeighbour(w, s) : nb[i];
        std::vector<int> points = {s.values};
        Queue writes;
        for (int j = 0; j < tried; j++) points.push_back(nb[j].values);
        for (int j = 0; j < checks; j++) writes.emplace_back(nb[j].values, VisitTypeCheck);
        writes.emplace_back(moved.values, VisitTypeStep);
        startFromPublic(w, s, w.f(s), w.exploit());
        // One place draw per write; the start is refreshed, then the neighbours are evaluated.
        expectStep(w, w.exploit(), {moved, {moved.values}, writes, checks + 1, 1 + tried});
        EXPECT_EQ(values(w.agent->searchSubject().searchPoints()), points);
        EXPECT_EQ(w.sim->getCountedEvals(0), tried + 1);
        const SearchPhase& ph = w.agent->phase();
        EXPECT_TRUE(ph.lastPointFitness() == w.f(moved) && ph.prevLastPoint() == Point() && ph.searchStartPoint() == s);
        EXPECT_TRUE(ph.bestPoint() == moved && ph.bestFitness() == w.f(moved));
        EXPECT_TRUE(ph.inPhaseSteps() == 1u && !ph.isWaiting());  // an improving step never waits
    }
}

TEST(ExploitSearchTest, TiesNeitherEndTheScanNorReplaceTheFirstBest) {
    // With a stretch of 0 every point has fitness 0.5: no neighbour is better, all tie, and
    // the lateral move goes to the first of them.
    auto flat = [](int depth) {
        return [=](SimuParameters& p) {
            p.fitnessStretchCoef = 0;
            p.fitnessQuantizationLevels = 10;
            p.rememberChecked = false;
            p.generalCustomParams.exploitSearchConfig.maxTreeDepth = depth;
        };
    };
    World w(flat(1));
    const Point s(0b101101), first(s, 0);
    startFromPublic(w, s, 0.5, w.exploit());
    expectStep(w, w.exploit(), {first, {first.values}, {{first.values, VisitTypeStep}}, 1, 1 + 6});
    // In the look-ahead, staying wins ties: the best path stays twice, 0.5 + 0.5 + 0.5.
    World tree(flat(2));
    continueFrom(tree, s);
    tree.exploit().step();
    EXPECT_EQ(tree.exploit().getBestTreePoint(), s);
    EXPECT_EQ(tree.exploit().getBestTreeValue(), 1.5);
}

TEST(ExploitSearchTest, FailureRevisitsFirstOrMovesLaterallyWithinAQuantizationLevel) {
    const struct {
        bool revisit, sameLevel, moves;
    } cases[] = {{false, true, true}, {true, true, false}, {false, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.revisit ? "revisit, " : "") + (c.sameLevel ? "same level" : "other level"));
        World w([&](SimuParameters& p) {
            p.n = 8;
            p.fitnessQuantizationLevels = 10;
            p.revisitOnFailure = c.revisit;
            p.rememberChecked = false;
            p.waitingEnabled = true;
        });
        const Point s = localMax(w, 10, c.sameLevel), best = bestNeighbour(w, s);
        ASSERT_NE(s, Point());
        startFromPublic(w, s, w.f(s), w.exploit());
        const std::vector<int> visits = c.moves     ? std::vector<int>{best.values}
                                        : c.revisit ? std::vector<int>{s.values}
                                                    : std::vector<int>{};
        expectStep(w, w.exploit(),
                   {c.moves ? best : s, visits, c.moves ? Queue{{best.values, VisitTypeStep}} : Queue{}, c.moves, 9});
        EXPECT_EQ(w.agent->phase().lastPointFitness(), w.f(c.moves ? best : s));
        EXPECT_TRUE(w.agent->phase().isWaiting());  // a lateral move is no improvement
        EXPECT_EQ(w.agent->phase().bestPoint(), s);
    }
}

TEST(ExploitSearchTest, TreeSearchMatchesBruteForceOverAllPaths) {
    for (int depth : {2, 3}) {
        const unsigned int n = depth == 2 ? 5 : 4;
        World w([&](SimuParameters& p) {
            p.n = n;
            p.k = 1;
            p.rememberChecked = false;
            p.generalCustomParams.exploitSearchConfig.useAllAttempts = true;
            p.generalCustomParams.exploitSearchConfig.maxTreeDepth = depth;
        });
        // Evaluations of the tree: every node below the root except "stay" children.
        int treeEvals = 0;
        for (int d = 1, width = 1; d <= depth; d++, width *= (int)n + 1) treeEvals += (int)n * width;
        for (long v = 0; v < (1L << n); v++) {
            const Point s(v);
            // Every path of `depth` moves (stay, or flip locus m - 1), scored by the sum of
            // the fitness of its points from s on; the first best path wins.
            Point firstMove;
            double bestScore = -1;
            for (std::vector<unsigned int> moves(depth, 0);;) {
                double score = w.f(s);
                Point q = s;
                for (unsigned int m : moves) score += w.f(q = m ? Point(q, m - 1) : q);
                if (score > bestScore) {
                    bestScore = score;
                    firstMove = moves[0] ? Point(s, moves[0] - 1) : s;
                }
                int i = depth - 1;
                while (i >= 0 && moves[i] == n) moves[i--] = 0;
                if (i < 0) break;
                moves[i]++;
            }
            continueFrom(w, s);
            w.land().queuedVisitPoints.clear();
            const int stamp0 = w.stamp();
            w.exploit().step();
            EXPECT_EQ(w.exploit().getBestTreePoint(), firstMove) << "start " << v;
            EXPECT_EQ(w.exploit().getBestTreeValue(), bestScore) << "start " << v;
            // Refresh, neighbour scan, the tree, and the final look-up of the chosen move.
            EXPECT_EQ(w.stamp() - stamp0, 1 + (int)n + treeEvals + 1);
            // Each distinct point within the tree's reach once, the start first.
            const auto got = values(w.agent->searchSubject().searchPoints());
            std::set<int> expected;
            for (long q = 0; q < (1L << n); q++)
                if (Point(q).hammingDist(s, n) <= depth) expected.insert((int)q);
            EXPECT_EQ(std::set<int>(got.begin(), got.end()), expected);
            EXPECT_TRUE(got.size() == expected.size() && got.front() == s.values);
            EXPECT_EQ(w.agent->phase().lastPoint(), w.f(firstMove) > w.f(s) ? firstMove : s);
        }
    }
}

TEST(SearchFrameTest, NewStartRefreshesTheStartAndStoresItAtOnceInTheSourceMemory) {
    for (bool upToDate : {true, false}) {
        World w([&](SimuParameters& p) {
            p.alwaysUpdateSourceMem = true;
            p.alwaysUseUpToDateFitness = upToDate;
            p.rememberChecked = false;
        });
        const Point s(9), t(40);
        w.pub->addPoint(s, 0.99, VisitTypeInit);  // recorded above its real fitness
        w.pub->addPoint(t, 0.98, VisitTypeInit);
        w.exploit().setSrcMemory(MemTypePublic);
        w.exploit().step();
        EXPECT_EQ(w.pub->getBestPoint().point, t);
        const PointInfo* entry = *std::next(w.pub->getPoints().begin());
        EXPECT_TRUE(entry->point == s && entry->fitness == w.f(s) && entry->visits.front().type == VisitTypeRevisit);
        EXPECT_EQ(w.agent->searchSubject().searchPoints().front(), s);
        // Continuing (no new start) refreshes only when fitness is kept up to date.
        const Point here = w.agent->phase().lastPoint();
        w.agent->searchSubject().clearSearchPoints();
        w.exploit().step();
        EXPECT_EQ(w.agent->searchSubject().searchPoints().front() == here, upToDate);
    }
    // Without any refresh the recorded fitness is the bar, and the start is not evaluated.
    World w([](SimuParameters& p) {
        p.alwaysUseUpToDateFitness = false;
        p.rememberChecked = false;
    });
    startFromPublic(w, Point(9), 0.99, w.exploit());
    expectStep(w, w.exploit(), {Point(9), {}, {}, 0, 6});
    EXPECT_EQ(w.agent->searchSubject().searchPoints().size(), 6u);
    EXPECT_TRUE(w.agent->phase().lastPointFitness() == 0.99 && w.agent->phase().bestFitness() == 0.99);
}

TEST(SearchFrameTest, PhaseBestIsLoweredOnlyOnANewStart) {
    for (bool newStart : {true, false}) {
        World w([](SimuParameters& p) { p.rememberChecked = false; });
        const Point s = localMax(w, 1, true);  // no neighbour is better: the step cannot improve
        startFromPublic(w, s, 0.99, w.exploit());
        SearchPhase& ph = w.agent->phase();
        ph.setInPhaseSteps(2);
        ph.setLastPoint(s, 0.99);
        ph.setBest(s, 0.99);
        w.exploit().setStartEveryStepAnew(newStart);
        w.exploit().step();
        EXPECT_TRUE(ph.lastPoint() == s && ph.lastPointFitness() == w.f(s)) << "the refreshed fitness";
        EXPECT_EQ(ph.bestFitness(), newStart ? w.f(s) : 0.99);
    }
}

TEST(ExploreSearchTest, CandidatesComeFromTheSearchStreamAndStopAtTheFirstBetterUnlessAllAreTried) {
    const struct {
        unsigned int n, attempts;
        double low, high;
        int minD, maxD;
        bool useAll;
    } cases[] = {{6, 50, 0.2, 0.5, 1, 3, false},    // 6 x 0.2 -> 1, 6 x 0.5 -> 3
                 {20, 40, 0.02, 0.1, 1, 2, true}};  // 20 x 0.02 -> 0, raised to 1
    for (const auto& c : cases) {
        SCOPED_TRACE("n " + std::to_string(c.n));
        World w([&](SimuParameters& p) {
            p.n = c.n;
            p.k = 3;
            p.deterministicActions = true;  // place decisions draw nothing
            p.exploreSearchConfig.maxAttempts = c.attempts;
            p.exploreSearchConfig.rangeLow = c.low;
            p.exploreSearchConfig.rangeHigh = c.high;
            p.exploreSearchConfig.useAllAttempts = c.useAll;
        });
        // Replay the candidates on a copy of the stream; take a start that tries a few
        // candidates before it finds a better one.
        Point s, found;
        std::vector<Point> tried;
        unsigned short copy[3];
        for (long v = 0; v < 64 && (found == Point() || tried.size() < 3); v++) {
            s = Point(v * 4099 % (1L << c.n));
            std::copy(w.rs(), w.rs() + 3, copy);
            tried.clear();
            found = Point();
            for (unsigned int a = 0; a < c.attempts && (c.useAll || found == Point()); a++) {
                tried.emplace_back(s, c.minD, c.maxD, w.sim->getParameters().n, copy);
                if (w.f(tried.back()) > w.f(found == Point() ? s : found)) found = tried.back();
            }
        }
        ASSERT_TRUE(found != Point() && tried.size() >= 3);
        std::vector<int> points = {s.values};
        Queue writes;
        for (const Point& q : tried) {
            if (std::find(points.begin(), points.end(), q.values) == points.end()) points.push_back(q.values);
            if (c.useAll || q != found) writes.emplace_back(q.values, VisitTypeCheck);
        }
        writes.emplace_back(found.values, VisitTypeStep);
        startFromPublic(w, s, w.f(s), w.method(SearchTypeExplore));
        expectStep(w, w.method(SearchTypeExplore),
                   {found,
                    {found.values},
                    writes,
                    testkit::drawsBetween(stateOf(w.rs()), stateOf(copy)),
                    1 + (int)tried.size()});
        EXPECT_EQ(values(w.agent->searchSubject().searchPoints()), points);
        EXPECT_EQ(w.agent->phase().searchStartPoint(), Point()) << "explore does not record a search start";
    }
}

TEST(ExploreSearchTest, LateralMoveIsCheckedBeforeTheRevisitAndNoAttemptOnlyRevisits) {
    // Range [1, 1]: the only candidate is the complement of the start (one draw).
    for (int attempts : {1, 0}) {
        for (bool sameLevel : {true, false}) {
            SCOPED_TRACE(std::to_string(attempts) + (sameLevel ? " same level" : " other level"));
            World w([&](SimuParameters& p) {
                p.n = 8;
                p.revisitOnFailure = true;
                p.fitnessQuantizationLevels = 4;
                p.exploreSearchConfig.maxAttempts = (unsigned int)attempts;
                p.exploreSearchConfig.rangeLow = p.exploreSearchConfig.rangeHigh = 1;
            });
            Point s;
            for (long v = 0; v < 256 && s == Point(); v++) {
                const double fs = w.f(Point(v)), fc = w.f(Point(v ^ 255));
                if (fc < fs && ((int)(fs * 4) == (int)(fc * 4)) == sameLevel) s = Point(v);
            }
            ASSERT_NE(s, Point());
            const Point c(s.values ^ 255);
            const bool moves = attempts && sameLevel;
            Queue writes;
            if (attempts) writes.emplace_back(c.values, VisitTypeCheck);
            if (moves) writes.emplace_back(c.values, VisitTypeStep);
            startFromPublic(w, s, w.f(s), w.method(SearchTypeExplore));
            expectStep(w, w.method(SearchTypeExplore),
                       {moves ? c : s, {moves ? c.values : s.values}, writes, attempts ? 2 + moves : 0, 1 + attempts});
        }
    }
}

namespace {

// Parents in the public and the private memory (recorded with fitness f1, f2, or their own
// when negative), searched with `attempts` children.
struct Recombination : World {
    Point p1, p2;
    Recombination(Point a, double f1, Point b, double f2, unsigned int attempts)
        : World([=](SimuParameters& p) {
              p.rememberChecked = false;
              p.revisitOnFailure = true;
              p.recombSearchConfig.maxAttempts = attempts;
          }),
          p1(a),
          p2(b) {
        pub->addPoint(p1, f1 < 0 ? f(p1) : f1, VisitTypeInit);
        agent->getPrivateMemory().addPoint(p2, f2 < 0 ? f(p2) : f2, VisitTypeInit);
        method(SearchTypeRecombination).setSrcMemories(MemTypePublic, MemTypePrivate);
    }
    // The distinct children of `attempts` draws from a copy of the search stream, and its draws.
    std::vector<int> children(int attempts, int& draws) {
        unsigned short copy[3] = {rs()[0], rs()[1], rs()[2]};
        std::vector<int> out;
        for (int a = 0; a < attempts; a++) {
            const Point child(p1, p2, sim->getParameters().n, copy);
            if (std::find(out.begin(), out.end(), child.values) == out.end()) out.push_back(child.values);
        }
        draws = testkit::drawsBetween(stateOf(rs()), stateOf(copy));
        return out;
    }
};

}  // namespace

TEST(RecombinationSearchTest, FitterParentOrOnTiesTheSecondIsTheCurrentPoint) {
    const struct {
        double f1, f2;
        bool second;
    } cases[] = {{0.99, 0.99, true}, {0.99, 0.98, false}, {0.97, 0.99, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.f1) + " " + std::to_string(c.f2));
        Recombination r(Point(0b000111), c.f1, Point(0b110100), c.f2, 3);
        SearchPhase& ph = r.agent->phase();
        ph.setInPhaseSteps(3);  // the phase best, if it is the current point, is lowered to its fitness
        ph.setBest(r.p2, 0.995);
        int draws;
        const std::vector<int> children = r.children(3, draws);
        const Point current = c.second ? r.p2 : r.p1;
        // Children only are evaluated: no refresh of the parents; no child beats them.
        expectStep(r, r.method(SearchTypeRecombination), {current, {current.values}, {}, draws, 3});
        EXPECT_EQ(values(r.agent->searchSubject().searchPoints()), children);
        EXPECT_EQ(ph.lastPointFitness(), std::max(c.f1, c.f2));
        EXPECT_EQ(ph.bestFitness(), c.second ? 0.99 : 0.995);
    }
}

TEST(PlaceDecisionTest, TableRowByFitnessLevelWithNearTiesToTheEarlierAction) {
    World w([](SimuParameters& p) {
        p.deterministicActions = true;
        p.generalStrategy.s2 = {{{0.5, 0.500005}, {0.5, 0.50002}}};
    });
    const uint64_t state0 = stateOf(w.rs());
    EXPECT_EQ(w.exploit().probSelectMem(0.49999999), MemTypePublic);
    EXPECT_EQ(w.exploit().probSelectMem(0.5), MemTypePrivate);  // level Hi starts at 0.5
    EXPECT_EQ(stateOf(w.rs()), state0);
}

TEST(PlaceDecisionTest, SecondTableReplacesTheFirstAtItsStepOrIsBlendedIn) {
    for (bool interpolate : {false, true}) {
        World w([&](SimuParameters& p) {
            p.secondProbsStep = 100;
            p.secondProbsInterpolate = interpolate;
            p.generalStrategy.s2 = {{{0.2, 0.8}, {0.2, 0.8}}};
            p.placeProbs2[0][0] = 0.6;
            p.placeProbs2[0][1] = 0.4;
        });
        // The probability of the public memory at each step, shown by draws just around it.
        const double cases[][2] = {
            {0, 0.2}, {50, interpolate ? 0.4 : 0.2}, {99, interpolate ? 0.596 : 0.2}, {100, 0.6}, {300, 0.6}};
        for (const auto& c : cases) {
            w.sim->context().setStep((unsigned int)c[0]);
            for (double delta : {-1e-9, 1e-9}) {
                testkit::setNextDraw(w.rs(), c[1] + delta);
                const uint64_t expectedState = stateAfterDraws(w.rs(), 1);
                EXPECT_EQ(w.exploit().probSelectMem(0.1), delta < 0 ? MemTypePublic : MemTypePrivate)
                    << "step " << c[0] << (interpolate ? " interpolated" : "");
                EXPECT_EQ(stateOf(w.rs()), expectedState);
            }
        }
    }
}

namespace {

// Counts what a search reports, in place of a run driver.
struct CountingEvals : EvalCounter {
    int agent = -1, evals = 0;
    void addCountedEvals(int agentId, int numEvals) override {
        agent = agentId;
        evals += numEvals;
    }
};

}  // namespace

TEST(SearchContextTest, OneExploitStepRunsOnAContextOfItsOwnWithoutASimulation) {
    // N = 6 without crowding; the agent's table exploits from the public memory and places
    // every point there. No simulation, no agent: the parameters, a landscape, two memories,
    // a counter and the search's own share of an agent.
    std::vector<std::string> names;
    SimuParameters params(names);
    params.n = 6;
    params.k = 2;
    params.nAgents = 1;
    params.maxMemSize = 2147483647;
    params.landscapeseed = 11;
    params.nPoints = 1UL << params.n;
    params.nContexts = 1UL << params.k;
    params.generalStrategy.s2.placeProbs[0][0] = params.generalStrategy.s2.placeProbs[1][0] = 1;
    CountingEvals counter;
    RunContext run(params, counter);
    Landscape landscape(params, run.stepClock());
    run.setLandscape(landscape);
    run.seedStreams(12, 13);
    landscape.initRun(0);
    Memory pub(params.maxMemSize, run.stepClock()), priv(params.maxMemSize, run.stepClock());
    SearchSubject subject(7, params, &pub, &priv, nullptr);
    SearchPhaseConfig config;
    config.maxSteps = 5;
    config.useAllAttempts = true;  // every neighbour is tried: the best one is taken
    params.generalCustomParams.exploitSearchConfig = config;
    SearchRandomLocal exploit(run, subject);

    // The brute-force best neighbour of a start point that has a better one.
    Point start(0L), best;
    double bestFitness = -1;
    for (long p = 0; p < 64 && bestFitness <= landscape.getBaseFitness(start); p++) {
        start = Point(p);
        bestFitness = -1;
        for (unsigned int d = 0; d < params.n; d++)
            if (landscape.getBaseFitness(Point(start, d)) > bestFitness) {
                best = Point(start, d);
                bestFitness = landscape.getBaseFitness(best);
            }
    }
    pub.addPoint(start, landscape.getBaseFitness(start), VisitTypeInit);
    exploit.setSrcMemory(MemTypePublic);
    exploit.step();

    EXPECT_EQ(subject.phase().lastPoint(), best);
    EXPECT_EQ(subject.phase().lastPointFitness(), bestFitness);
    // The start point, evaluated afresh (alwaysUseUpToDateFitness), and its six neighbours.
    EXPECT_EQ(subject.searchPoints().size(), 7u);
    EXPECT_EQ(counter.agent, 7);
    EXPECT_EQ(counter.evals, 7);
    // Every neighbour checked is remembered (rememberChecked), then the step's point.
    Queue expected;
    for (unsigned int d = 0; d < params.n; d++) expected.emplace_back(Point(start, d).values, VisitTypeCheck);
    expected.emplace_back(best.values, VisitTypeStep);
    EXPECT_EQ(queued(pub), expected);
}
