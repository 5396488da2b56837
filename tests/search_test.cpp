// Search phase, step frame, place decision and the exploit, explore and recombination
// searches, checked against brute force over small landscapes.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "search_fixture.h"
#include "util.h"

using testkit::queued;
using testkit::values;
using testkit::World;

namespace {

typedef std::vector<std::pair<int, VisitType>> Queue;

std::vector<Point> neighbours(const Point& s) {
    std::vector<Point> out;
    for (unsigned int d = 0; d < Point::n; d++) out.emplace_back(s, d);
    return out;
}

// Starts the next search from `s` as a new start (the best point of the public memory).
void startFromPublic(World& w, const Point& s, double recordedFitness, SearchMethod& m) {
    w.pub->addPoint(s, recordedFitness, VisitTypeInit);
    m.setSrcMemory(MemTypePublic);
}

// Makes the next step continue from `s` without a new start.
void continueFrom(World& w, const Point& s) {
    w.agent->phase.inPhaseSteps = 1;
    w.agent->phase.lastPoint = s;
    w.agent->phase.lastPointFitness = w.f(s);
    w.agent->searchPoints.clear();
}

// Index of the first neighbour of s strictly better than s, or -1.
int firstBetter(const World& w, const Point& s) {
    auto nb = neighbours(s);
    for (size_t i = 0; i < nb.size(); i++)
        if (w.f(nb[i]) > w.f(s)) return (int)i;
    return -1;
}

// First neighbour with the highest fitness.
Point bestNeighbour(const World& w, const Point& s) {
    Point best;
    double bf = -1;
    for (const Point& q : neighbours(s))
        if (w.f(q) > bf) {
            bf = w.f(q);
            best = q;
        }
    return best;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Exploit: neighbour scan

TEST(ExploitSearchTest, FirstBetterNeighbourEndsTheScanWithoutUseAll) {
    World w([](SimuParameters&) {});
    // A start whose first better neighbour is not its first neighbour and not its best one.
    Point s;
    int i = -1;
    for (long v = 0; v < 64 && i < 0; v++) {
        int fb = firstBetter(w, Point(v));
        if (fb >= 1 && w.f(bestNeighbour(w, Point(v))) > w.f(Point(v, fb))) {
            s = Point(v);
            i = fb;
        }
    }
    ASSERT_GE(i, 1);
    const auto nb = neighbours(s);
    startFromPublic(w, s, w.f(s), w.exploit());

    const int stamp0 = w.stamp();
    const uint64_t expectedState = testkit::stateAfterDraws(w.rs(), i + 1);  // i checks + 1 step write
    w.exploit().step();

    EXPECT_EQ(w.stamp() - stamp0, 1 + i + 1);  // refresh of the start, then neighbours 0..i
    std::vector<int> expectedPoints = {s.values};
    for (int j = 0; j <= i; j++) expectedPoints.push_back(nb[j].values);
    EXPECT_EQ(values(w.agent->searchPoints), expectedPoints);
    EXPECT_EQ(w.sim->countedEvals[0], i + 2);

    Queue expectedQueue;
    for (int j = 0; j < i; j++) expectedQueue.emplace_back(nb[j].values, VisitTypeCheck);
    expectedQueue.emplace_back(nb[i].values, VisitTypeStep);
    EXPECT_EQ(queued(*w.pub), expectedQueue);
    EXPECT_EQ(values(w.land().queuedVisitPoints), std::vector<int>{nb[i].values});
    EXPECT_EQ(testkit::stateOf(w.rs()), expectedState);

    const SearchPhase& ph = w.agent->phase;
    EXPECT_EQ(ph.lastPoint, nb[i]);
    EXPECT_EQ(ph.lastPointFitness, w.f(nb[i]));
    EXPECT_EQ(ph.lastPointPrev, Point());
    EXPECT_EQ(ph.searchStartPoint, s);
    EXPECT_EQ(ph.bestPointWithinPhase, nb[i]);
    EXPECT_EQ(ph.bestFitWithinPhase, w.f(nb[i]));
    EXPECT_EQ(ph.inPhaseSteps, 1u);
}

TEST(ExploitSearchTest, UseAllTriesEveryNeighbourAndTakesTheFirstBest) {
    World w([](SimuParameters& p) { p.generalCustomParams.exploitSearchConfig.useAllAttempts = true; });
    Point s;
    for (long v = 0; v < 64; v++)
        if (firstBetter(w, Point(v)) >= 0 && bestNeighbour(w, Point(v)) != Point(v, firstBetter(w, Point(v)))) {
            s = Point(v);
            break;
        }
    ASSERT_NE(s, Point());
    const Point best = bestNeighbour(w, s);
    startFromPublic(w, s, w.f(s), w.exploit());

    const int stamp0 = w.stamp();
    const uint64_t expectedState = testkit::stateAfterDraws(w.rs(), 6 + 1);
    w.exploit().step();

    EXPECT_EQ(w.stamp() - stamp0, 1 + 6);
    Queue expectedQueue;
    for (const Point& q : neighbours(s)) expectedQueue.emplace_back(q.values, VisitTypeCheck);
    expectedQueue.emplace_back(best.values, VisitTypeStep);
    EXPECT_EQ(queued(*w.pub), expectedQueue);
    EXPECT_EQ(w.agent->phase.lastPoint, best);
    EXPECT_EQ(values(w.land().queuedVisitPoints), std::vector<int>{best.values});
    EXPECT_EQ(testkit::stateOf(w.rs()), expectedState);
}

// Local maxima whose best neighbour falls into the same (or a different) quantization level.
struct LocalMax {
    Point s, best;
};

static bool findLocalMax(const World& w, int levels, bool sameLevel, LocalMax& out) {
    for (long v = 0; v < (1L << w.n()); v++) {
        Point s(v);
        if (firstBetter(w, s) >= 0) continue;
        Point b = bestNeighbour(w, s);
        bool same = (int)(w.f(s) * levels) == (int)(w.f(b) * levels);
        if (same == sameLevel) {
            out = {s, b};
            return true;
        }
    }
    return false;
}

TEST(ExploitSearchTest, QuantizedLateralMoveRevisitAndStay) {
    const int L = 10;
    auto setup = [&](bool revisit, int levels) {
        return [=](SimuParameters& p) {
            p.n = 8;
            p.fitnessQuantizationLevels = levels;
            p.revisitOnFailure = revisit;
            p.rememberChecked = false;
            p.waitingEnabled = true;
        };
    };
    {  // Same level: a lateral move that does not count as an improvement.
        World w(setup(false, L));
        LocalMax lm;
        ASSERT_TRUE(findLocalMax(w, L, true, lm));
        startFromPublic(w, lm.s, w.f(lm.s), w.exploit());
        w.exploit().step();
        EXPECT_EQ(w.agent->phase.lastPoint, lm.best);
        EXPECT_EQ(w.agent->phase.lastPointFitness, w.f(lm.best));
        EXPECT_EQ(values(w.land().queuedVisitPoints), std::vector<int>{lm.best.values});
        EXPECT_EQ(queued(*w.pub), (Queue{{lm.best.values, VisitTypeStep}}));
        EXPECT_TRUE(w.agent->phase.waiting);  // not improved
        EXPECT_EQ(w.agent->phase.bestPointWithinPhase, lm.s);
    }
    {  // Same level, but a revisit on failure comes first: the agent stays.
        World w(setup(true, L));
        LocalMax lm;
        ASSERT_TRUE(findLocalMax(w, L, true, lm));
        startFromPublic(w, lm.s, w.f(lm.s), w.exploit());
        w.exploit().step();
        EXPECT_EQ(w.agent->phase.lastPoint, lm.s);
        EXPECT_EQ(values(w.land().queuedVisitPoints), std::vector<int>{lm.s.values});
        EXPECT_TRUE(w.pub->queuedPoints.empty());
    }
    {  // Different levels: no move, nothing queued.
        World w(setup(false, L));
        LocalMax lm;
        ASSERT_TRUE(findLocalMax(w, L, false, lm));
        startFromPublic(w, lm.s, w.f(lm.s), w.exploit());
        const uint64_t state0 = testkit::stateOf(w.rs());
        w.exploit().step();
        EXPECT_EQ(w.agent->phase.lastPoint, lm.s);
        EXPECT_TRUE(w.land().queuedVisitPoints.empty());
        EXPECT_TRUE(w.pub->queuedPoints.empty());
        EXPECT_EQ(testkit::stateOf(w.rs()), state0);
    }
}

TEST(ExploitSearchTest, EqualNeighboursDoNotEndTheScan) {
    World w([](SimuParameters& p) {
        p.fitnessStretchCoef = 0;
        p.rememberChecked = false;
    });
    const Point s(0b011011);
    startFromPublic(w, s, 0.5, w.exploit());
    const int stamp0 = w.stamp();
    w.exploit().step();
    EXPECT_EQ(w.stamp() - stamp0, 1 + 6);
    EXPECT_EQ(w.agent->phase.lastPoint, s);
}

TEST(ExploitSearchTest, FlatLandscapeLateralMoveGoesToLocusZero) {
    // With a stretch of 0 every point has fitness 0.5, so all neighbours tie.
    World w([](SimuParameters& p) {
        p.fitnessStretchCoef = 0;
        p.fitnessQuantizationLevels = 10;
        p.generalCustomParams.exploitSearchConfig.useAllAttempts = true;
    });
    const Point s(0b101101);
    startFromPublic(w, s, 0.5, w.exploit());
    w.exploit().step();
    EXPECT_EQ(w.agent->phase.lastPoint, Point(s, 0));
}

// ---------------------------------------------------------------------------------------
// Exploit: look-ahead

namespace {

// Best path of `depth` moves (stay or flip one locus) from s, scored by the sum of the
// fitness of its points from s on; returns the first move of the first best path.
void bruteForcePaths(const World& w, const Point& s, int depth, Point& firstMove, double& bestScore) {
    bestScore = -1e300;
    const unsigned int n = w.n();
    std::vector<int> moves(depth, 0);  // 0 = stay, d + 1 = flip locus d
    while (true) {
        double score = 0 + w.f(s);
        Point p = s;
        for (int m : moves) {
            if (m > 0) p = Point(p, (unsigned int)(m - 1));
            score = score + w.f(p);
        }
        if (score > bestScore) {
            bestScore = score;
            firstMove = moves[0] == 0 ? s : Point(s, (unsigned int)(moves[0] - 1));
        }
        int i = depth - 1;
        while (i >= 0 && moves[i] == (int)n) moves[i--] = 0;
        if (i < 0) break;
        moves[i]++;
    }
}

}  // namespace

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
        bool sawStay = false, sawMove = false;
        for (long v = 0; v < (1L << n); v++) {
            const Point s(v);
            continueFrom(w, s);
            w.land().queuedVisitPoints.clear();
            const int stamp0 = w.stamp();
            w.exploit().step();

            Point firstMove;
            double bestScore;
            bruteForcePaths(w, s, depth, firstMove, bestScore);
            EXPECT_EQ(w.exploit().bestTreePoint, firstMove) << "start " << v;
            EXPECT_EQ(w.exploit().bestValue, bestScore) << "start " << v;
            // Refresh, full neighbour scan, the tree, and the final look-up of the chosen move.
            EXPECT_EQ(w.stamp() - stamp0, 1 + (int)n + treeEvals + 1);

            // Distinct points within the tree's reach, the start first.
            std::set<int> expected;
            for (long q = 0; q < (1L << n); q++)
                if (Point(q).hammingDist(s) <= depth) expected.insert((int)q);
            const auto got = values(w.agent->searchPoints);
            EXPECT_EQ(std::set<int>(got.begin(), got.end()), expected);
            EXPECT_EQ(got.size(), expected.size());
            EXPECT_EQ(got.front(), s.values);
            if (depth == 2) {
                // Depth first, staying before flipping: the paths that stay first reach every
                // neighbour, then each first flip is followed by its own second moves.
                std::vector<int> order = {s.values};
                auto add = [&](int v) {
                    if (std::find(order.begin(), order.end(), v) == order.end()) order.push_back(v);
                };
                for (unsigned int b = 0; b < n; b++) add(s.values ^ (1 << b));
                for (unsigned int a = 0; a < n; a++) {
                    add(s.values ^ (1 << a));
                    for (unsigned int b = 0; b < n; b++) add(s.values ^ (1 << a) ^ (1 << b));
                }
                EXPECT_EQ(got, order);
            }

            const bool improved = w.f(firstMove) > w.f(s);
            EXPECT_EQ(w.agent->phase.lastPoint, improved ? firstMove : s);
            (firstMove == s ? sawStay : sawMove) = true;
        }
        EXPECT_TRUE(sawStay);  // the global maximum at least stays
        EXPECT_TRUE(sawMove);
    }
}

TEST(ExploitSearchTest, TreeSearchTiesPreferStaying) {
    World w([](SimuParameters& p) {
        p.fitnessStretchCoef = 0;
        p.generalCustomParams.exploitSearchConfig.maxTreeDepth = 2;
    });
    const Point s(0b110010);
    continueFrom(w, s);
    w.exploit().step();
    EXPECT_EQ(w.exploit().bestTreePoint, s);
    EXPECT_EQ(w.exploit().bestValue, 1.5);
    EXPECT_EQ(w.agent->phase.lastPoint, s);
}

// ---------------------------------------------------------------------------------------
// Phase and frame

TEST(SearchPhaseTest, FailedStepMakesTheAgentWaitForTheRestOfThePhase) {
    World w([](SimuParameters& p) {
        p.waitingEnabled = true;
        p.revisitWhileWaiting = true;
        p.rememberChecked = false;
    });
    LocalMax lm;
    ASSERT_TRUE(findLocalMax(w, 1, true, lm));
    startFromPublic(w, lm.s, w.f(lm.s), w.exploit());
    SearchPhase& ph = w.agent->phase;

    w.exploit().step();  // fails: waiting from now on
    EXPECT_TRUE(ph.waiting);
    EXPECT_FALSE(ph.wasWaitingLastStep);
    for (int k = 2; k <= 5; k++) {
        const int stamp0 = w.stamp();
        w.land().queuedVisitPoints.clear();
        w.exploit().step();
        EXPECT_EQ(w.stamp(), stamp0) << "a waiting step evaluates nothing";
        EXPECT_EQ(values(w.land().queuedVisitPoints), std::vector<int>{lm.s.values});
        EXPECT_TRUE(ph.wasWaitingLastStep);
        EXPECT_EQ(ph.waiting, k < 5);
    }
    EXPECT_EQ(ph.inPhaseSteps, 0u);
    const int stamp0 = w.stamp();
    w.exploit().step();  // a new phase searches again
    EXPECT_GT(w.stamp(), stamp0);
    EXPECT_FALSE(ph.wasWaitingLastStep);
}

TEST(SearchPhaseTest, ImprovingStepsNeverWait) {
    World w([](SimuParameters& p) { p.waitingEnabled = true; });
    Point s;
    for (long v = 0; v < 64; v++)
        if (firstBetter(w, Point(v)) >= 0) {
            s = Point(v);
            break;
        }
    startFromPublic(w, s, w.f(s), w.exploit());
    w.exploit().step();
    EXPECT_FALSE(w.agent->phase.waiting);
    EXPECT_EQ(w.agent->phase.inPhaseSteps, 1u);
}

TEST(SearchFrameTest, RefreshedStartIsStoredAtOnceInTheSourceMemory) {
    // Storing the start back refreshes it even when fitness is otherwise not kept up to date.
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
        EXPECT_EQ(w.pub->getNumPoints(), 2u);
        const PointInfo* entry = *std::next(w.pub->getPoints().begin());
        EXPECT_EQ(entry->point, s);
        EXPECT_EQ(entry->fitness, w.f(s));
        EXPECT_EQ(entry->visits.front().type, VisitTypeRevisit);
        EXPECT_EQ(w.agent->searchPoints.front(), s);

        // Continuing (no new start) refreshes only when fitness is kept up to date.
        const Point here = w.agent->phase.lastPoint;
        w.agent->searchPoints.clear();
        w.exploit().step();
        EXPECT_EQ(w.agent->searchPoints.front() == here, upToDate);
    }
}

TEST(SearchFrameTest, WithoutRefreshTheRecordedFitnessIsTheBar) {
    World w([](SimuParameters& p) {
        p.alwaysUseUpToDateFitness = false;
        p.rememberChecked = false;
    });
    const Point s(9);
    startFromPublic(w, s, 0.99, w.exploit());
    const int stamp0 = w.stamp();
    w.exploit().step();
    EXPECT_EQ(w.stamp() - stamp0, 6);  // neighbours only
    EXPECT_EQ(w.agent->searchPoints.size(), 6u);
    EXPECT_EQ(w.agent->phase.lastPoint, s);
    EXPECT_EQ(w.agent->phase.lastPointFitness, 0.99);
    EXPECT_EQ(w.agent->phase.bestFitWithinPhase, 0.99);
}

TEST(SearchFrameTest, PhaseBestIsLoweredOnlyOnANewStart) {
    for (bool newStart : {true, false}) {
        World w([](SimuParameters& p) { p.rememberChecked = false; });
        LocalMax lm;  // no neighbour is better, so the step cannot improve
        ASSERT_TRUE(findLocalMax(w, 1, true, lm));
        startFromPublic(w, lm.s, 0.99, w.exploit());
        SearchPhase& ph = w.agent->phase;
        ph.inPhaseSteps = 2;
        ph.lastPoint = lm.s;
        ph.lastPointFitness = 0.99;
        ph.bestPointWithinPhase = lm.s;
        ph.bestFitWithinPhase = 0.99;
        w.exploit().alwaysStartWithNewPoint = newStart;
        w.exploit().step();
        EXPECT_EQ(ph.lastPoint, lm.s);
        EXPECT_EQ(ph.lastPointFitness, w.f(lm.s)) << "the refreshed fitness";
        EXPECT_EQ(ph.bestFitWithinPhase, newStart ? w.f(lm.s) : 0.99);
    }
}

// ---------------------------------------------------------------------------------------
// Explore

namespace {

// Distances from `s` of the candidates of one explore step (every attempt is tried).
std::vector<int> exploreDistances(World& w, const Point& s) {
    continueFrom(w, s);
    w.method(SearchTypeExplore).step();
    std::vector<int> d;
    for (size_t i = 1; i < w.agent->searchPoints.size(); i++) d.push_back(w.agent->searchPoints[i].hammingDist(s));
    return d;
}

}  // namespace

TEST(ExploreSearchTest, DistancesFollowTheDriftingRange) {
    World w([](SimuParameters& p) {
        p.n = 10;
        p.rememberChecked = false;
        p.exploreSearchConfig.maxAttempts = 60;
        p.exploreSearchConfig.useAllAttempts = true;
        p.exploreSearchConfig.rangeLow = 0.1;
        p.exploreSearchConfig.rangeHigh = 0.2;
        p.exploreSearchConfig2.maxSteps = 100;
        p.exploreSearchConfig2.rangeLow = 0.3;
        p.exploreSearchConfig2.rangeHigh = 0.5;
    });
    // Step 0: [0.1, 0.2] -> 1..2; step 50: [0.2, 0.35] -> 2..3; from step 100: [0.3, 0.5] -> 3..5.
    const struct {
        unsigned int step;
        int lo, hi;
    } cases[] = {{0, 1, 2}, {50, 2, 3}, {100, 3, 5}, {170, 3, 5}};
    for (const auto& c : cases) {
        w.sim->curStep = c.step;
        const auto d = exploreDistances(w, Point(0b1011001110));
        ASSERT_FALSE(d.empty());
        EXPECT_EQ(*std::min_element(d.begin(), d.end()), c.lo) << "step " << c.step;
        EXPECT_EQ(*std::max_element(d.begin(), d.end()), c.hi) << "step " << c.step;
    }
}

TEST(ExploreSearchTest, DriftProgressIsTheStepOverTheDriftLength) {
    // Eighths are exact: the distance is 8 x ((1 - t)/8 + 5t/8) = 1 + 4t with t = step / 4.
    World w([](SimuParameters& p) {
        p.n = 8;
        p.rememberChecked = false;
        p.exploreSearchConfig.maxAttempts = 10;
        p.exploreSearchConfig.useAllAttempts = true;
        p.exploreSearchConfig.rangeLow = p.exploreSearchConfig.rangeHigh = 0.125;
        p.exploreSearchConfig2.maxSteps = 4;
        p.exploreSearchConfig2.rangeLow = p.exploreSearchConfig2.rangeHigh = 0.625;
    });
    for (unsigned int step = 0; step <= 6; step++) {
        w.sim->curStep = step;
        const int expected = 1 + (int)std::min(step, 4u);
        for (int d : exploreDistances(w, Point(0b10110011))) EXPECT_EQ(d, expected) << "step " << step;
    }
}

TEST(ExploreSearchTest, ZeroMinimumDistanceBecomesOne) {
    World w([](SimuParameters& p) {
        p.n = 20;
        p.k = 3;
        p.rememberChecked = false;
        p.exploreSearchConfig.maxAttempts = 40;
        p.exploreSearchConfig.useAllAttempts = true;
        p.exploreSearchConfig.rangeLow = 0.02;  // 20 x 0.02 -> 0, raised to 1
        p.exploreSearchConfig.rangeHigh = 0.1;  // 20 x 0.1 -> 2
    });
    const Point s(123456);
    unsigned short copy[3] = {w.rs()[0], w.rs()[1], w.rs()[2]};
    std::vector<int> expected = {s.values};
    bool improves = false;
    for (int a = 0; a < 40; a++) {
        const Point c(s, 1, 2, copy);
        if (std::find(expected.begin(), expected.end(), c.values) == expected.end()) expected.push_back(c.values);
        improves = improves || w.f(c) > w.f(s);
    }
    if (improves) rng48::erand48(copy);  // the place decision of the point moved to
    continueFrom(w, s);
    w.method(SearchTypeExplore).step();
    EXPECT_EQ(values(w.agent->searchPoints), expected);
    EXPECT_EQ(testkit::stateOf(w.rs()), testkit::stateOf(copy));
}

TEST(ExploreSearchTest, CandidatesComeFromTheSearchStreamAndStopAtTheFirstBetter) {
    World w([](SimuParameters& p) {
        p.deterministicActions = true;  // place decisions draw nothing
        p.exploreSearchConfig.maxAttempts = 50;
        p.exploreSearchConfig.rangeLow = 0.2;  // 6 x 0.2 -> 1
        p.exploreSearchConfig.rangeHigh = 0.5;  // 6 x 0.5 -> 3
    });
    // Replay the candidates on a copy of the stream; take a start that tries a few before
    // finding a better one.
    Point s, found;
    std::vector<Point> expected;
    unsigned short copy[3];
    for (long v = 0; v < 64 && (found == Point() || expected.size() < 3); v++) {
        s = Point(v);
        std::copy(w.rs(), w.rs() + 3, copy);
        expected.clear();
        found = Point();
        for (int a = 0; a < 50; a++) {
            Point c(s, 1, 3, copy);
            expected.push_back(c);
            if (w.f(c) > w.f(s)) {
                found = c;
                break;
            }
        }
    }
    ASSERT_NE(found, Point());
    ASSERT_GE(expected.size(), 3u);

    startFromPublic(w, s, w.f(s), w.method(SearchTypeExplore));
    w.method(SearchTypeExplore).step();

    std::vector<int> expectedPoints = {s.values};
    Queue expectedQueue;
    for (const Point& c : expected) {
        if (std::find(expectedPoints.begin(), expectedPoints.end(), c.values) == expectedPoints.end())
            expectedPoints.push_back(c.values);
        expectedQueue.emplace_back(c.values, c == found ? VisitTypeStep : VisitTypeCheck);
    }
    EXPECT_EQ(values(w.agent->searchPoints), expectedPoints);
    EXPECT_EQ(queued(*w.pub), expectedQueue);
    EXPECT_EQ(w.agent->phase.lastPoint, found);
    EXPECT_EQ(testkit::stateOf(w.rs()), testkit::stateOf(copy));
    EXPECT_EQ(w.agent->phase.searchStartPoint, Point()) << "explore does not record a search start";
}

TEST(ExploreSearchTest, LateralMoveIsCheckedBeforeTheRevisit) {
    // Range [1, 1]: the only candidate is the complement of the start (one draw).
    auto setup = [](SimuParameters& p) {
        p.n = 8;
        p.revisitOnFailure = true;
        p.fitnessQuantizationLevels = 4;
        p.exploreSearchConfig.maxAttempts = 1;
        p.exploreSearchConfig.rangeLow = 1;
        p.exploreSearchConfig.rangeHigh = 1;
    };
    for (bool sameLevel : {true, false}) {
        World w(setup);
        Point s;
        for (long v = 0; v < 256; v++) {
            const Point c(v ^ 255);
            if (w.f(c) < w.f(Point(v)) && ((int)(w.f(Point(v)) * 4) == (int)(w.f(c) * 4)) == sameLevel) {
                s = Point(v);
                break;
            }
        }
        ASSERT_NE(s, Point());
        const Point c(s.values ^ 255);
        startFromPublic(w, s, w.f(s), w.method(SearchTypeExplore));
        const uint64_t expectedState = testkit::stateAfterDraws(w.rs(), 1 + 1 + (sameLevel ? 1 : 0));
        w.method(SearchTypeExplore).step();
        if (sameLevel) {
            EXPECT_EQ(w.agent->phase.lastPoint, c);
            EXPECT_EQ(values(w.land().queuedVisitPoints), std::vector<int>{c.values});
            EXPECT_EQ(queued(*w.pub), (Queue{{c.values, VisitTypeCheck}, {c.values, VisitTypeStep}}));
        } else {
            EXPECT_EQ(w.agent->phase.lastPoint, s);
            EXPECT_EQ(values(w.land().queuedVisitPoints), std::vector<int>{s.values});
            EXPECT_EQ(queued(*w.pub), (Queue{{c.values, VisitTypeCheck}}));
        }
        EXPECT_EQ(testkit::stateOf(w.rs()), expectedState);
    }
}

TEST(ExploreSearchTest, NoAttemptsOnlyRevisits) {
    World w([](SimuParameters& p) {
        p.revisitOnFailure = true;
        p.fitnessQuantizationLevels = 1;
    });
    const Point s(17);
    startFromPublic(w, s, w.f(s), w.method(SearchTypeExplore));
    const int stamp0 = w.stamp();
    const uint64_t state0 = testkit::stateOf(w.rs());
    w.method(SearchTypeExplore).step();
    EXPECT_EQ(w.stamp() - stamp0, 1);
    EXPECT_EQ(w.sim->countedEvals[0], 1);
    EXPECT_EQ(values(w.land().queuedVisitPoints), std::vector<int>{s.values});
    EXPECT_EQ(testkit::stateOf(w.rs()), state0);
}

// ---------------------------------------------------------------------------------------
// Recombination

namespace {

struct RecombCase {
    World w;
    Point p1, p2;
    RecombCase(double f1, double f2, Point a, Point b, unsigned int attempts)
        : w([=](SimuParameters& p) {
              p.rememberChecked = false;
              p.revisitOnFailure = true;
              p.recombSearchConfig.maxAttempts = attempts;
          }),
          p1(a),
          p2(b) {
        w.pub->addPoint(p1, f1, VisitTypeInit);
        w.agent->privateMemory.addPoint(p2, f2, VisitTypeInit);
        w.method(SearchTypeRecombination).setSrcMemories(MemTypePublic, MemTypePrivate);
    }
    SearchMethod& m() { return w.method(SearchTypeRecombination); }
};

}  // namespace

TEST(RecombinationSearchTest, EqualParentFitnessStartsFromTheSecondParent) {
    RecombCase rc(0.99, 0.99, Point(0b000111), Point(0b110100), 3);
    unsigned short copy[3] = {rc.w.rs()[0], rc.w.rs()[1], rc.w.rs()[2]};
    std::vector<int> children;
    for (int a = 0; a < 3; a++) {
        Point c(rc.p1, rc.p2, copy);
        if (std::find(children.begin(), children.end(), c.values) == children.end()) children.push_back(c.values);
    }
    const int stamp0 = rc.w.stamp();
    rc.m().step();
    EXPECT_EQ(rc.w.stamp() - stamp0, 3);  // children only: no refresh of the parents
    EXPECT_EQ(values(rc.w.agent->searchPoints), children);
    EXPECT_EQ(rc.w.agent->phase.lastPoint, rc.p2);
    EXPECT_EQ(rc.w.agent->phase.lastPointFitness, 0.99);
    EXPECT_EQ(values(rc.w.land().queuedVisitPoints), std::vector<int>{rc.p2.values});
    EXPECT_EQ(testkit::stateOf(rc.w.rs()), testkit::stateOf(copy));
    EXPECT_TRUE(rc.w.pub->queuedPoints.empty());
}

TEST(RecombinationSearchTest, FitterFirstParentIsTheCurrentPoint) {
    RecombCase rc(0.99, 0.98, Point(0b000111), Point(0b110100), 2);
    rc.m().step();
    EXPECT_EQ(rc.w.agent->phase.lastPoint, rc.p1);
    EXPECT_EQ(rc.w.agent->phase.bestPointWithinPhase, rc.p1);
}

TEST(RecombinationSearchTest, EqualParentsDrawNothingAndCannotImprove) {
    const Point p(0b101010);
    RecombCase rc(0, 0, p, p, 4);
    rc.w.pub->addPoint(p, rc.w.f(p), VisitTypeStep);
    rc.w.agent->privateMemory.addPoint(p, rc.w.f(p), VisitTypeStep);
    const uint64_t state0 = testkit::stateOf(rc.w.rs());
    const int stamp0 = rc.w.stamp();
    rc.m().step();
    EXPECT_EQ(testkit::stateOf(rc.w.rs()), state0);
    EXPECT_EQ(rc.w.stamp() - stamp0, 4);
    EXPECT_EQ(values(rc.w.agent->searchPoints), std::vector<int>{p.values});
    EXPECT_EQ(rc.w.agent->phase.lastPoint, p);
}

TEST(RecombinationSearchTest, FirstBetterChildEndsTheSearchAndIsTaken) {
    RecombCase rc(0, 0, Point(0b000111), Point(0b111000), 5);
    unsigned short copy[3] = {rc.w.rs()[0], rc.w.rs()[1], rc.w.rs()[2]};
    const Point child(rc.p1, rc.p2, copy);
    rng48::erand48(copy);  // the place decision of the found point
    rc.m().step();
    EXPECT_EQ(values(rc.w.agent->searchPoints), std::vector<int>{child.values});
    EXPECT_EQ(rc.w.agent->phase.lastPoint, child);
    EXPECT_EQ(rc.w.agent->phase.bestPointWithinPhase, child);
    EXPECT_EQ(values(rc.w.land().queuedVisitPoints), std::vector<int>{child.values});
    EXPECT_EQ(queued(*rc.w.pub), (Queue{{child.values, VisitTypeStep}}));
    EXPECT_EQ(testkit::stateOf(rc.w.rs()), testkit::stateOf(copy));
}

TEST(RecombinationSearchTest, PhaseBestIsLoweredWithoutANewStart) {
    RecombCase rc(0.97, 0.99, Point(0b000111), Point(0b110100), 1);
    SearchPhase& ph = rc.w.agent->phase;
    ph.inPhaseSteps = 3;
    ph.bestPointWithinPhase = rc.p2;
    ph.bestFitWithinPhase = 0.995;
    rc.m().step();
    EXPECT_EQ(ph.bestFitWithinPhase, 0.99);
}

// ---------------------------------------------------------------------------------------
// Place decision (table strategies)

TEST(PlaceDecisionTest, DeterministicNearTiesGoToTheEarlierAction) {
    World w([](SimuParameters& p) {
        p.deterministicActions = true;
        p.generalStrategy.s2.placeProbs[0][0] = 0.5;
        p.generalStrategy.s2.placeProbs[0][1] = 0.500005;
        p.generalStrategy.s2.placeProbs[1][0] = 0.5;
        p.generalStrategy.s2.placeProbs[1][1] = 0.50002;
    });
    const uint64_t state0 = testkit::stateOf(w.rs());
    EXPECT_EQ(w.exploit().probSelectMem(0.3), MemTypePublic);
    EXPECT_EQ(w.exploit().probSelectMem(0.7), MemTypePrivate);
    EXPECT_EQ(testkit::stateOf(w.rs()), state0);
}

TEST(PlaceDecisionTest, FitnessLevelHiStartsAtOneHalf) {
    World w([](SimuParameters& p) {
        p.deterministicActions = true;
        p.generalStrategy.s2.placeProbs[0][0] = 1;
        p.generalStrategy.s2.placeProbs[0][1] = 0;
        p.generalStrategy.s2.placeProbs[1][0] = 0;
        p.generalStrategy.s2.placeProbs[1][1] = 1;
    });
    EXPECT_EQ(w.exploit().probSelectMem(0.5), MemTypePrivate);
    EXPECT_EQ(w.exploit().probSelectMem(0.49999999), MemTypePublic);
}

TEST(PlaceDecisionTest, SecondTableReplacesTheFirstAtItsStep) {
    World w([](SimuParameters& p) {
        p.deterministicActions = true;
        p.secondProbsStep = 100;
        p.generalStrategy.s2.placeProbs[0][0] = 1;
        p.generalStrategy.s2.placeProbs[0][1] = 0;
        p.placeProbs2[0][0] = 0;
        p.placeProbs2[0][1] = 1;
    });
    w.sim->curStep = 99;
    EXPECT_EQ(w.exploit().probSelectMem(0.2), MemTypePublic);
    w.sim->curStep = 100;
    EXPECT_EQ(w.exploit().probSelectMem(0.2), MemTypePrivate);
    w.sim->curStep = 250;
    EXPECT_EQ(w.exploit().probSelectMem(0.2), MemTypePrivate);
}

TEST(PlaceDecisionTest, InterpolationBlendsTheTablesByProgress) {
    World w([](SimuParameters& p) {
        p.secondProbsStep = 100;
        p.secondProbsInterpolate = true;
        p.generalStrategy.s2.placeProbs[0][0] = 0.2;
        p.generalStrategy.s2.placeProbs[0][1] = 0.8;
        p.placeProbs2[0][0] = 0.6;
        p.placeProbs2[0][1] = 0.4;
    });
    // Step 50: probability of the public memory (0.2 + 0.6) / 2 = 0.4; from step 100 on: 0.6.
    const struct {
        unsigned int step;
        double p0;
    } cases[] = {{0, 0.2}, {50, 0.4}, {100, 0.6}, {300, 0.6}};
    for (const auto& c : cases) {
        w.sim->curStep = c.step;
        for (double delta : {-1e-9, 1e-9}) {
            testkit::setNextDraw(w.rs(), c.p0 + delta);
            const uint64_t expectedState = testkit::stateAfterDraws(w.rs(), 1);
            EXPECT_EQ(w.exploit().probSelectMem(0.1), delta < 0 ? MemTypePublic : MemTypePrivate)
                << "step " << c.step;
            EXPECT_EQ(testkit::stateOf(w.rs()), expectedState);
        }
    }
}

TEST(PlaceDecisionDeathTest, TableWithoutAThirdPlaceProbabilityIsAnInternalError) {
    World w([](SimuParameters& p) { p.generalStrategy.type = StrategyType2; });
    EXPECT_EXIT(w.exploit().probSelectMem(0.3), testing::ExitedWithCode(1), "Internal error");
}

TEST(PlaceDecisionDeathTest, NetworksOfTypeOneOrAboveSixAreRejected) {
    for (int type : {1, 7}) {
        World w([&](SimuParameters& p) {
            p.usingNNStrategy = true;
            p.generalStrategy.type = (StrategyType)type;
        });
        EXPECT_EXIT(w.exploit().probSelectMem(0.3), testing::ExitedWithCode(1),
                    "ERROR at src/search.cpp:[0-9]+:\nNN strategy type error, unimplemented type: " +
                        std::to_string(type) + "\n\n");
    }
}
