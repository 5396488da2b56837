// Fitness-ordered point memories: immediate and queued writes, random initial filling.
#include "memory.h"

#include <cstdio>
#include <iterator>

#include "landscape.h"

void PointInfo::print() const {
    point.print(false);
    printf(" fitn: %.6f\n", fitness);
}

Memory::Memory(unsigned int maxMemSize, const unsigned int& curStep)
    : maxMemSize(maxMemSize), numPoints(0), curStep(curStep), lastUpdateStep(curStep) {}

Memory::~Memory() {
    for (PointInfo* info : points) delete info;
}

bool Memory::addPoint(const Point& point, double fitness, VisitType type) {
    PointInfo* entry = nullptr;
    auto found = index.find(point.values);
    if (found != index.end()) {
        if (type == VisitTypeInit) return false;
        // Take the entry out with its history; it comes back at the place its new fitness earns.
        entry = *found->second;
        points.erase(found->second);
        index.erase(found);
        numPoints--;
    }

    // The new entry would go after every entry of higher or equal fitness, so it lands at
    // the end exactly when the lowest entry is at least as good.
    const bool atEnd = points.empty() || (*points.rbegin())->fitness >= fitness;
    if (numPoints >= maxMemSize && atEnd) {
        delete entry;
        return true;
    }
    if (numPoints == maxMemSize) {
        auto last = std::prev(points.end());
        PointInfo* evicted = *last;
        points.erase(last);
        index.erase(evicted->point.values);
        delete evicted;
        numPoints--;
    }

    if (entry)
        entry->fitness = fitness;
    else
        entry = new PointInfo(point, fitness);
    entry->visits.emplace_front(curStep, type);
    // The newest write goes behind all entries of equal fitness.
    entry->seq = nextSeq++;
    index.emplace(point.values, points.insert(entry).first);
    numPoints++;
    lastUpdateStep = curStep;
    return true;
}

void Memory::addQueuedPoints() {
    while (!queuedPoints.empty()) {
        addPoint(queuedPoints.front());
        queuedPoints.pop_front();
    }
}

void Memory::populate(unsigned int numPoints, unsigned long numPossiblePoints, unsigned short* initMemRandomState,
                      Landscape& landscape) {
    // A duplicate draw is refused, not replaced: the number of draws is fixed.
    for (unsigned int i = 0; i < numPoints && i < maxMemSize; i++) {
        const double r = rng48::erand48(initMemRandomState);
        const Point point((long)(r * numPossiblePoints));
        const double fitness = landscape.getFitnessValue(point);
        addPoint(point, fitness, VisitTypeInit);
    }
}

void Memory::print(int count) const {
    int printed = 0;
    for (const PointInfo* info : points) {
        if (count > 0 && printed >= count) break;
        printf("      ");
        info->print();
        printed++;
    }
}
